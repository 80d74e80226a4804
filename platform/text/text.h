// Byte-string helpers shared by the parsers of the control, the program and
// the tools. Every text here is a string of 8-bit bytes that may hold any
// value, NUL included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace tw {

using Bytes = std::string;

// Drops leading blanks and one trailing CR of `source`, returns its first
// blank-delimited word and leaves what follows the next blanks in `source`.
std::string NextWord(std::string& source);

// Returns the text before the first `delimiter` and leaves the text after it
// in `source`. Without a delimiter the whole source is returned and emptied.
std::string SplitAt(std::string& source, std::string_view delimiter);

std::string PadRight(std::string_view text, std::size_t n, char c);
std::string PadLeft(std::string_view text, std::size_t n, char c);

// Upper-cases a to z only; every other byte stays as it is.
std::string UpperText(std::string_view text);

// A call-sign with an SSID of 0, however many zeros spell it, written as
// the bare call ("N0CALL-0" is "N0CALL"): an engine compares calls as
// written, and on the air SSID 0 is no SSID. Letter case is left alone.
std::string_view BareCall(std::string_view call);

// The form under which a call-sign is compared: upper case, and an SSID of
// 0 dropped ("n0call-0" is "N0CALL", the form Dire Wolf reports).
std::string StationKey(std::string_view call);
bool SameStation(std::string_view a, std::string_view b);

std::string RemoveChar(std::string_view text, char c);
std::string ReplaceChar(std::string_view text, char c, std::string_view with);

// Not empty and only 0 to 9.
bool IsDigits(std::string_view text);

// Whether `call` is an AX.25 address: 1 to 6 letters or digits, optionally
// followed by "-" and an SSID of 0 to 15.
bool IsAx25Address(std::string_view call);

// The bytes before the first NUL.
std::string CopyToNul(std::string_view text);

// Two upper-case hex digits.
std::string HexByte(std::uint8_t byte);

// Lenient hex: empty or three-plus characters give 0, one character is read
// as if preceded by "0", any non-hex digit counts as 0.
std::uint8_t HexToByte(std::string_view text);

// "TRUE" for true, else "FALSE".
std::string BoolText(bool value);

// Decimal value of a digit string, saturating instead of overflowing.
std::uint64_t DigitsValue(std::string_view digits);

bool Contains(std::string_view text, std::string_view part);

// Builds a message from pieces: texts, single characters and integers (decimal).
namespace detail {
inline void AppendPiece(std::string& out, std::string_view piece) { out.append(piece); }
inline void AppendPiece(std::string& out, const char* piece) { out.append(piece); }
inline void AppendPiece(std::string& out, const std::string& piece) { out.append(piece); }
inline void AppendPiece(std::string& out, char piece) { out.push_back(piece); }
template <class Int>
  requires(std::is_integral_v<Int> && !std::is_same_v<Int, char> && !std::is_same_v<Int, bool>)
inline void AppendPiece(std::string& out, Int value) {
  out.append(std::to_string(value));
}
}  // namespace detail

template <class... Pieces>
std::string Cat(const Pieces&... pieces) {
  std::string out;
  (detail::AppendPiece(out, pieces), ...);
  return out;
}

}  // namespace tw
