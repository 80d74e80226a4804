// Host-mode blocks as the mail client writes them: FEND, kind, port
// character, stream character, text or data, FEND. Only the data of "D"
// blocks is escaped; command and status texts travel as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::hostmode {

using Bytes = std::string;

inline constexpr char kFend = '\xC0';
inline constexpr char kFesc = '\xDB';
inline constexpr char kTfend = '\xDC';
inline constexpr char kTfesc = '\xDD';

// Stream traffic travels on port character '1'; replies that belong to no
// stream carry '0' for both port and stream.
inline constexpr char kStreamPort = '1';
inline constexpr char kNoStream = '0';

// One block cut out of the byte stream; `text` holds the data unescaped
// when `kind` is 'D'. A block too short for all three header fields (FEND
// "q" FEND) has fewer `fields`, and NUL in those it lacks.
struct HostBlock {
  char kind = '\0';
  char port = '\0';
  char stream = '\0';
  Bytes text;
  std::size_t fields = 3;

  bool operator==(const HostBlock&) const = default;
};

// FEND becomes FESC TFEND and FESC becomes FESC TFESC.
Bytes EscapeData(std::string_view data);

// Undoes EscapeData. A FESC followed by anything else stands for the byte
// after it; a FESC at the very end is dropped.
Bytes UnescapeData(std::string_view escaped);

// FEND kind port stream text FEND, the text escaped when kind is 'D'.
Bytes EncodeBlock(char kind, char port, char stream, std::string_view text);

// A block of one character, such as FEND "q" FEND.
Bytes EncodeGlobal(char what);

// True when `text` can travel unescaped inside a block.
inline bool FitsUnescaped(std::string_view text) { return text.find(kFend) == std::string_view::npos; }

// The inner bytes of a block (without its FENDs) as fields.
HostBlock SplitBlock(std::string_view inner);

}  // namespace tw::hostmode
