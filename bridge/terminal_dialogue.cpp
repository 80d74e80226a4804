// `termcmd`: the dialogue before host mode, answered as a KAM in terminal
// mode answers it.
#include "bridge/bridge_core.h"

#include "bridge/log_text.h"

namespace tw {

std::optional<std::string> BridgeCore::termcmd(std::string_view chunk) {
  TerminalInput input = terminal_.Read(chunk);
  for (const TerminalRequest& request : input.requests) {
    switch (request.kind) {
      case TerminalRequest::Kind::Prompt:
        sendraw("cmd:\r");
        break;
      case TerminalRequest::Kind::Star:
        sendraw("ENTER YOUR CALLSIGN=>\r");
        sendraw("cmd:");
        break;
      case TerminalRequest::Kind::CallAnswer:
        sendraw("MYCALL now F00BAR\r");
        sendraw("cmd:");
        break;
      case TerminalRequest::Kind::IntfaceHost:
        sendraw("INTFACE was TERMINAL\r");
        sendraw("cmd:");
        break;
      case TerminalRequest::Kind::Reset:
        sendraw("\xC0\xC0S00\xC0");
        hostmode_ = true;
        // Whatever was left open before host mode was last left is stale.
        rxbuf_.Reset();
        if (ClientTakesBlocks()) DeliverHeld();
        break;
      case TerminalRequest::Kind::Quit:
        sendraw("EH?");
        break;
      case TerminalRequest::Kind::MyCall: {
        std::string call;
        switch (CheckMyCall(request.text, call)) {
          case MyCallOutcome::Query:
            sendraw("MYCALL " + mycall_ + "\r");
            break;
          case MyCallOutcome::Busy:
            sendraw("Not while connected\r");
            break;
          case MyCallOutcome::Set:
            ChangeMyCall(call);
            sendraw("MYCALL now " + mycall_ + "\r");
            break;
        }
        sendraw("cmd:");
        break;
      }
      case TerminalRequest::Kind::Unknown:
        addlog("ERROR Unknown Terminal mode Client request> " + LogBytes(request.text));
        sendraw("cmd:");
        break;
    }
  }
  return std::move(input.hostBytes);
}

}  // namespace tw
