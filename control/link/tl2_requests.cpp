// TL2: the requests that become engine frames.
#include "platform/text/text.h"
#include "control/link/tl2.h"

namespace tw {

namespace {
constexpr std::size_t kMaxViaCalls = 25;  // what fits the 257-byte block
constexpr std::uint8_t kPidNoLayer3 = 0xF0;

// A comma-separated path as the user wrote it ("RELAY-1*, RELAY-2") as
// blank-separated bare calls. One pass, however many commas the text holds.
std::string BareCalls(std::string_view via) {
  std::string joined;
  std::size_t begin = 0;
  while (begin <= via.size()) {
    std::size_t end = via.find(',', begin);
    if (end == std::string_view::npos) end = via.size();
    std::string piece = RemoveChar(RemoveChar(via.substr(begin, end - begin), '*'), ' ');
    if (!piece.empty()) {
      if (!joined.empty()) joined.push_back(' ');
      joined += piece;
    }
    begin = end + 1;
  }
  return joined;
}
}  // namespace

void TL2::SetRegister(bool on) {
  Trap("SetRegister", [&] {
    log_.LogLine(1, [&] { return Cat("{L2} Set Register ", BoolText(on), " CallSign(", callSign_, ")"); });
    if (on == registered_) {
      log_.LogLine(1, [&] { return Cat("{L2} Set Register ignored for CallSign(", callSign_, ")"); });
      return;
    }
    if (!connected_) return;
    if (on) {
      VOKRegister(callSign_);
    } else {
      VOKUnRegister(callSign_);
    }
  });
}

bool TL2::VOKRegister(const std::string& callSign) { return SendRegistration("VOKRegister", 'X', callSign); }

bool TL2::VOKUnRegister(const std::string& callSign) {
  return SendRegistration("VOKUnRegister", 'x', callSign);
}

bool TL2::SendRegistration(std::string_view name, char kind, const std::string& callSign) {
  bool result = false;
  Trap(name, [&] {
    if (callSign.empty()) return;
    // True also when there is no connection: the request was made.
    bool sent = Write(0, 0, kind, callSign, "", "");
    result = true;
    // Dire Wolf never confirms an unregistration: once it is sent the own
    // call counts as unregistered (an engine that answers still has the
    // last word), so that registering it again is not taken for a repeat.
    if (sent && kind == 'x' && SameStation(callSign, callSign_)) registered_ = false;
  });
  return result;
}

void TL2::SetMonitor(const std::string& mask) {
  log_.LogLine(1, [&] { return Cat("{L2} Set Monitor <", mask, "> CallSign(", callSign_, ")"); });
  if (mask.empty()) return;
  std::string wanted = UpperText(mask);
  if (wanted.find_first_not_of("MIUSCN") != std::string::npos) return;

  // The engine's switch flips with each 'm': send one only when monitoring
  // as a whole goes on or off, judged as on connecting (a mask of "M" alone
  // asks the engine for nothing). Between two masks that both monitor, the
  // new letters take effect at once.
  if (MonitorWanted(monitorMask_) != MonitorWanted(wanted) && connected_) Write(0, 0, 'm', "", "", "");
  monitorMask_ = wanted == "N" ? "N" : wanted;
}

bool TL2::ConnectExt(int port, std::uint8_t pid, const std::string& callFrom,
                     const std::string& callTo, const std::string& via) {
  bool sent = false;
  Trap("ConnectExt", [&] {
    // A connect with its own PID goes out as 'c', which carries no path.
    const bool ownPid = pid != 0 && pid != kPidNoLayer3;
    std::string block;
    if (!via.empty()) {
      log_.LogLine(4, "{L2} Connect with VIA Information");
      std::string joined = BareCalls(via);
      if (!ownPid && !joined.empty() && !BuildVia(joined, block)) {
        log_.LogLine(1, [&] { return Cat("{L2} <ConnectExt> Connect to ", callTo, " refused: path can not be sent"); });
        return;
      }
      log_.LogLine(4, [&] { return Cat("{L2} VIA->[", joined, "]"); });
      log_.LogHex(5, block);
    }
    if (ownPid) {
      sent = Write(port, pid, 'c', callFrom, callTo, std::string(1, static_cast<char>(pid)));
    } else if (!block.empty()) {
      sent = Write(port, 0, 'v', callFrom, callTo, block);
    } else {
      sent = Write(port, 0, 'C', callFrom, callTo, "");
    }
  });
  return sent;
}

bool TL2::DisconnectExt(int port, const std::string& callFrom, const std::string& callTo) {
  bool sent = false;
  Trap("Disconnect Ext", [&] { sent = Write(port, 0, 'd', callFrom, callTo, ""); });
  return sent;
}

bool TL2::AskLinkFrames(int port, const std::string& callFrom, const std::string& callTo) {
  bool sent = false;
  Trap("AskLinkFrames", [&] { sent = Write(port, 0, 'Y', callFrom, callTo, ""); });
  return sent;
}

bool TL2::SendData(int port, std::uint8_t pid, const std::string& callFrom, const std::string& callTo,
                   std::string_view data) {
  bool sent = false;
  Trap("SendData", [&] {
    log_.LogLine(4, [&] { return Cat("{L2} SendData Received Port(", port, ") Pid(", pid, ") To(", callTo, ")"); });
    log_.LogHex(5, data);
    sent = Write(port, pid, 'D', callFrom, callTo, data);
  });
  return sent;
}

bool TL2::SendUNPROTO(int port, std::uint8_t pid, const std::string& callFrom,
                      const std::string& callTo, const std::string& via, std::string_view data) {
  bool sent = false;
  Trap("SendUNPROTO", [&] {
    log_.LogLine(4, [&] { return Cat("{L2} SendUNPROTO Received Port(", port, ") Pid(", pid, ") To(", callTo, ")"); });
    log_.LogHex(5, data);
    std::string block;
    if (!via.empty() && !BuildVia(via, block)) {
      log_.LogLine(1, [&] { return Cat("{L2} <SendUNPROTO> Frame to ", callTo, " refused: path can not be sent"); });
      return;
    }
    if (block.empty()) {
      // No path (a via text of blanks only counts as none).
      sent = Write(port, pid, 'M', callFrom, callTo, data);
    } else {
      sent = Write(port, pid, 'V', callFrom, callTo, block.append(data));
    }
  });
  return sent;
}

bool TL2::SendKiss(int port, std::string_view frame) {
  bool sent = false;
  Trap("SendKiss", [&] {
    log_.LogLine(4, [&] { return Cat("{L2} <SendKiss> Sending Frame Port(", port, ")"); });
    sent = Write(port, 0, 'K', "", "", frame);
  });
  return sent;
}

bool TL2::BuildVia(std::string_view calls, std::string& block) {
  block.clear();
  std::string rest(calls);
  std::string path[kMaxViaCalls];
  std::size_t count = 0;
  while (!rest.empty()) {
    std::string word = NextWord(rest);
    if (word.empty()) continue;
    std::string call(BareCall(word));
    if (count == kMaxViaCalls) {
      log_.LogLine(1, [&] { return Cat("{L2} <BuildVia> Path refused: more than ", kMaxViaCalls, " digipeaters"); });
      return false;
    }
    if (call.size() > kCallFieldSize) {
      log_.LogLine(1, [&] { return Cat("{L2} <BuildVia> Path refused: call ", call, " does not fit its slot"); });
      return false;
    }
    path[count++] = std::move(call);
  }
  if (count > 0) block = EncodeViaBlock(path, count);
  return true;
}

}  // namespace tw
