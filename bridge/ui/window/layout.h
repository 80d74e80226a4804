// Where the main window's controls stand. The positions are kept in twips
// (1/1440 inch), the unit the window was laid out in, and turned into pixels
// at 96 dots per inch; the window may then grow, and the log box with it.
#pragma once

#include <array>

namespace tw::window {

struct Box {
  int x;
  int y;
  int w;
  int h;
};

constexpr int Pixels(int twips) { return (twips + 7) / 15; }
constexpr Box FromTwips(int left, int top, int width, int height) {
  return {Pixels(left), Pixels(top), Pixels(width), Pixels(height)};
}

inline constexpr const char* kCaption = "Tidewire streams 2.2";
inline constexpr int kMenuHeight = 25;  // the menu bar sits above the client area
// The state of the bridge sits below the original controls: the engine's
// line, the client's, and the table of the ten streams.
inline constexpr Box kClient = FromTwips(0, 0, 7110, 7215);
inline constexpr Box kLogBox = FromTwips(120, 120, 6855, 2655);
inline constexpr Box kMyCallLabel = FromTwips(360, 3000, 615, 255);
inline constexpr Box kMyCallBox = FromTwips(1080, 3000, 1215, 285);
inline constexpr Box kPortLabel = FromTwips(2760, 3000, 1455, 255);
inline constexpr Box kPortBox = FromTwips(4320, 3000, 375, 285);
inline constexpr Box kAcceptLabel = FromTwips(5040, 3000, 615, 255);
inline constexpr Box kAcceptBox = FromTwips(5760, 3000, 495, 285);
inline constexpr Box kEngineLine = FromTwips(120, 3420, 6855, 285);
inline constexpr Box kClientLine = FromTwips(120, 3720, 6855, 285);
inline constexpr Box kStreamTable = FromTwips(120, 4050, 6855, 3045);
// Stream, state, remote, radio port, sent, received, unsent: in pixels,
// together the table's width less its frame.
inline constexpr std::array<int, 7> kStreamColumnWidths = {48, 78, 84, 70, 52, 62, 59};

}  // namespace tw::window
