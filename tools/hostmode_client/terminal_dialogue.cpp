#include "tools/hostmode_client/terminal_dialogue.h"

#include <algorithm>
#include <string_view>

namespace tw::hostmode {

namespace {

constexpr std::string_view kPrompt = "cmd:";

bool IsResetAnswer(const HostBlock& block) {
  return block.kind == 'S' && block.port == '0' && block.stream == '0' && block.text.empty();
}

}  // namespace

Bytes TerminalDialogue::Start() {
  step_ = Step::Prompt;
  tail_.clear();
  blockBeforePrompt_ = false;
  return "\r";
}

Bytes TerminalDialogue::Receive(const Received& item) {
  switch (step_) {
    case Step::Prompt:
    case Step::InterfacePrompt: {
      if (item.kind == Received::Kind::Block) blockBeforePrompt_ = true;
      if (item.kind != Received::Kind::Text) return {};
      Bytes seen = tail_ + item.text;
      if (seen.find(kPrompt) == Bytes::npos) {
        tail_ = seen.substr(seen.size() - std::min(seen.size(), kPrompt.size() - 1));
        return {};
      }
      tail_.clear();
      if (step_ == Step::Prompt) {
        step_ = Step::InterfacePrompt;
        return "INTFACE HOST\r";
      }
      step_ = Step::Reset;
      return "RESET\r";
    }
    case Step::Reset:
      if (item.kind == Received::Kind::Block && IsResetAnswer(item.block)) step_ = Step::HostMode;
      return {};
    case Step::HostMode:
      break;
  }
  return {};
}

std::string TerminalDialogue::Awaiting() const {
  switch (step_) {
    case Step::Prompt:
      return blockBeforePrompt_ ? "the prompt \"cmd:\" after CR (host-mode blocks came instead: the bridge "
                                  "is in host mode already)"
                                : "the prompt \"cmd:\" after CR";
    case Step::InterfacePrompt:
      return "the prompt \"cmd:\" after \"INTFACE HOST\"";
    case Step::Reset:
      return "the host-mode answer FEND FEND \"S00\" FEND after \"RESET\"";
    case Step::HostMode:
      break;
  }
  return "nothing";
}

}  // namespace tw::hostmode
