// Host-mode blocks as the mail client and the bridge exchange them: FEND,
// a kind ("C" command or reply, "D" data, "S" status), a port character, a
// stream character, text or data, FEND. Data bytes are escaped by the KISS
// rule; command, reply and status texts are not.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw {

inline constexpr char FEND = '\xC0';
inline constexpr char FESC = '\xDB';
inline constexpr char TFEND = '\xDC';
inline constexpr char TFESC = '\xDD';

// The fields of one block, FENDs included in `rawblock`.
struct HostBlock {
  std::string rawblock;
  // The three characters after the opening FEND; none where the block is
  // too short to hold one (any byte, NUL too, is a character here).
  std::optional<char> kind;
  std::optional<char> port;
  std::optional<char> stream;
  std::string blkdata;  // everything between the stream character and the closing FEND
};

// Splits a block that begins and ends with FEND. Fields that lie beyond the
// block's inner bytes are empty.
HostBlock splitblock(std::string_view block);

// FEND travels as FESC TFEND and FESC as FESC TFESC.
std::string AX25toKAM(std::string_view data);
// The same, appended to `out`.
void AppendEscaped(std::string& out, std::string_view data);

// Undoes AX25toKAM. A FESC followed by anything else is dropped and the byte
// after it kept as it is (not decoded again); a FESC at the end is dropped.
std::string KAMtoAX25(std::string_view data);

}  // namespace tw
