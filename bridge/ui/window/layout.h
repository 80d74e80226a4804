// Where the main window's controls stand. The positions are kept in twips
// (1/1440 inch), the unit the window was laid out in, and turned into pixels
// at 96 dots per inch; the window may then grow, and the log box with it.
#pragma once

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
inline constexpr Box kClient = FromTwips(0, 0, 7110, 3375);
inline constexpr Box kLogBox = FromTwips(120, 120, 6855, 2655);
inline constexpr Box kMyCallLabel = FromTwips(360, 3000, 615, 255);
inline constexpr Box kMyCallBox = FromTwips(1080, 3000, 1215, 285);
inline constexpr Box kPortLabel = FromTwips(2760, 3000, 1455, 255);
inline constexpr Box kPortBox = FromTwips(4320, 3000, 375, 285);
inline constexpr Box kAcceptLabel = FromTwips(5040, 3000, 615, 255);
inline constexpr Box kAcceptBox = FromTwips(5760, 3000, 495, 285);

}  // namespace tw::window
