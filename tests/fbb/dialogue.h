// One side of a connected-mode conversation through the engine's AGW port,
// for the scripted stations of the BBS test: lines go out as data frames,
// and the text that comes back is kept whole so a wait can look for a reply
// however the engine cut it into frames.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "tests/e2e/agw_client.h"

namespace tw::fbb_test {

class Dialogue {
 public:
  using Millis = std::chrono::milliseconds;

  // `self` is this station's call, `peer` the station it talks to.
  Dialogue(e2e::AgwClient& client, std::string self, std::string peer)
      : client_(client), self_(std::move(self)), peer_(std::move(peer)) {}

  bool Say(std::string_view text) { return client_.Send('D', 1, self_, peer_, text); }

  // Until text received after the previous match holds `needle`; the match
  // moves past it. False on timeout or on a closed connection.
  bool Await(std::string_view needle, Millis timeout);
  // Until a frame of `kind` for this link arrives ('C' connected, 'd' ended).
  bool AwaitLink(char kind, Millis timeout);

  // Text received since the previous match (what a failed wait saw).
  std::string Unmatched() const { return text_.substr(mark_); }
  const std::string& Text() const { return text_; }
  // Where the next match starts looking; text before it is settled.
  std::size_t Mark() const { return mark_; }

 private:
  bool ForThisLink(const tw::Frame& frame) const;

  e2e::AgwClient& client_;
  std::string self_;
  std::string peer_;
  std::string text_;
  std::size_t mark_ = 0;
};

}  // namespace tw::fbb_test
