// Reads what the client sends in terminal mode, before host mode: the
// dialogue a KAM controller plays while a mail client wakes it up, sets its
// call-sign, asks for host mode and resets it.
//
// A chunk that is exactly one of the dialogue's fixed lines is answered as
// that line. A chunk that is only the beginning of one is held and completed
// by the next chunk (TCP may cut "RESET" CR anywhere). Anything else is read
// line by line (CR ends a line); an unfinished last line that could still
// become a known one is held too, within a bound.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct TerminalRequest {
  enum class Kind {
    Prompt,       // CR; also Ctrl-C blank X, and FEND "C20S" FEND
    Star,         // "*"
    CallAnswer,   // "F00BAR" CR CR
    IntfaceHost,  // "INTFACE HOST" line, with or without a leading CR
    Reset,        // "RESET" line
    Quit,         // FEND "q" FEND (or "Q") while in terminal mode
    MyCall,       // "MYCALL ..." or "MY ..." line; `text` is what follows the word
    Unknown,      // `text` is the chunk or line as received
  };
  Kind kind;
  std::string text;
};

struct TerminalInput {
  std::vector<TerminalRequest> requests;  // in order; a Reset is always last
  // After a Reset: the bytes that followed its line, which belong to host mode.
  std::optional<std::string> hostBytes;
};

class TerminalReader {
 public:
  // Longest unfinished line held for the next chunk.
  static constexpr std::size_t kMaxHeld = 256;

  TerminalInput Read(std::string_view chunk);
  void Reset() { held_.clear(); }
  const std::string& Held() const { return held_; }

 private:
  std::string held_;
};

}  // namespace tw
