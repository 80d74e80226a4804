// The mail client's side of the terminal dialogue that puts the bridge into
// host mode: CR until the prompt "cmd:", then "INTFACE HOST" and the prompt
// again, then "RESET", answered by FEND FEND "S00" FEND. It reads what the
// block reader makes of the received bytes (the prompts are text outside
// blocks, the reset answer is the block S00). No I/O and no clock: the
// caller sends what it is given and decides how long to wait.
#pragma once

#include <string>

#include "tools/hostmode_client/block_reader.h"
#include "tools/hostmode_client/host_block.h"

namespace tw::hostmode {

class TerminalDialogue {
 public:
  enum class Step { Prompt, InterfacePrompt, Reset, HostMode };

  // Starts over; returns the first bytes to send.
  Bytes Start();

  // Takes one item from the block reader; returns what to send now (often
  // nothing).
  Bytes Receive(const Received& item);

  Step State() const { return step_; }
  bool InHostMode() const { return step_ == Step::HostMode; }

  // What the dialogue waits for, for an error message.
  std::string Awaiting() const;

 private:
  Step step_ = Step::Prompt;
  Bytes tail_;  // the end of the text so far: enough to find a prompt cut in two
  bool blockBeforePrompt_ = false;  // the bridge may be in host mode already
};

}  // namespace tw::hostmode
