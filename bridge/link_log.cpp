#include "bridge/link_log.h"

#include "bridge/log_text.h"
#include "platform/text/text.h"

namespace tw {

namespace {

std::string ByteCounts(std::uint64_t sent, std::uint64_t received) {
  return Cat(sent, " bytes sent, ", received, " received");
}

std::string_view EndText(LinkEnd by) {
  switch (by) {
    case LinkEnd::FarEnd: return "by the far end";
    case LinkEnd::Client: return "by the client";
    case LinkEnd::Bridge: return "by Tidewire";
    case LinkEnd::EngineLost: return "when the engine was lost";
    case LinkEnd::Shutdown: return "at shutdown";
  }
  return "";
}

}  // namespace

std::string LinkPrefix(char stream, const LinkRecord& link, bool incoming) {
  const std::string& first = incoming ? link.remote : link.own;
  const std::string& second = incoming ? link.own : link.remote;
  std::string text = Cat("stream ", stream, ", ", LogBytes(first.empty() ? "(no call)" : first), " to ",
                         LogBytes(second), " on radio port ", link.port);
  if (!link.via.empty()) text += " via " + LogBytes(link.via);
  return text;
}

std::string LinkConnecting(char stream, const LinkRecord& link) {
  return LinkPrefix(stream, link, false) + ": connecting";
}

std::string LinkConnected(char stream, const LinkRecord& link) {
  return LinkPrefix(stream, link, false) + ": connected";
}

std::string LinkIncoming(char stream, const LinkRecord& link) {
  return LinkPrefix(stream, link, true) + ": incoming link taken on stream " + stream;
}

std::string LinkNoAnswer(char stream, const LinkRecord& link, std::string_view notice) {
  std::string text = LinkPrefix(stream, link, false) + ": the far station did not answer";
  if (!notice.empty()) text += " (engine: " + NoticeText(notice) + ")";
  return text;
}

std::string LinkEngineDown(char stream, const LinkRecord& link) {
  return LinkPrefix(stream, link, false) + ": not made, the engine is not connected";
}

std::string LinkDisconnected(char stream, const LinkRecord& link, LinkEnd by) {
  return Cat(LinkPrefix(stream, link, link.incoming), ": disconnected ", EndText(by), ", ", ByteCounts(link.sent, link.received));
}

std::string LinkWaiting(char stream, const LinkRecord& link, int frames) {
  return Cat(LinkPrefix(stream, link, link.incoming), ": waiting for ", frames, " frames before disconnecting");
}

std::string ConnectRefusalReason(const ConnectFacts& f) {
  if (f.own.empty()) return "no call-sign is set (the mail client must set MYCALL)";
  if (!IsAx25Address(f.own)) return Cat("own call ", LogBytes(f.own), " is not an AX.25 address");
  if (!IsAx25Address(f.destination)) return Cat(LogBytes(f.destination), " is not an AX.25 address");
  std::string_view rest = f.via;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view digi = rest.substr(0, comma);
    if (!IsAx25Address(digi)) return Cat("digipeater ", LogBytes(digi), " is not an AX.25 address");
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  if (!f.engineUp) return "the engine is not connected";
  if (f.enginePorts > 0 && (f.port < 1 || f.port > f.enginePorts)) {
    return Cat("the engine has radio ports 1 to ", f.enginePorts, " only");
  }
  return "a link between these calls on this radio port exists already";
}

std::string EnginePortsLine(const std::vector<std::string>& names) {
  std::string text = "engine radio ports:";
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += Cat(i == 0 ? " " : ", ", i + 1, " ", LogBytes(names[i], 40));
  }
  return text;
}

std::string DefaultPortMissingLine(int defport, int enginePorts) {
  return Cat("WARNING the default radio port ", defport, " is not among the engine's ", enginePorts,
             " radio ports: connects that name no port will fail");
}

std::string NoticeText(std::string_view notice) {
  while (!notice.empty() && (notice.back() == '\0' || notice.back() == '\r' || notice.back() == '\n')) {
    notice.remove_suffix(1);
  }
  return LogBytes(notice, 120);
}

}  // namespace tw
