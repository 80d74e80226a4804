// TVOKAPI: the channel methods over the channel table (channel_table.h).
// Containers work with channel ids instead of call-sign pairs; the engine's
// reports, which come by port and calls, are matched to the records here.
//
// Handlers of the channel events, and of the trace (every log line may reach
// the container's OnDebug), may re-enter the table: disconnect, close it,
// switch the component off. So no record pointer is kept across an event or
// a log line; what is needed is copied first, or the record is looked up
// again by its id.
#include "control/component/vokapi.h"
#include "control/component/vokapi_raise.h"
#include "platform/text/text.h"

namespace tw {

namespace {
constexpr std::uint8_t kPidNoLayer3 = 240;
}  // namespace

bool TVOKAPI::AX25Open() {
  LogLine(3, "{VOK} <AX25Open>");
  if (ax25Open_) {
    LogLine(3, "{VOK} <AX25Open> AX.25 Link Manager already opened");
    return false;
  }
  if (!link_) {
    LogLine(3, "{VOK} <AX25Open> No L2 object allocated");
    return false;
  }
  links_.TakeAll();
  ax25Open_ = true;
  return true;
}

bool TVOKAPI::AX25Close() {
  LogLine(3, "{VOK} <AX25Close>");
  if (!ax25Open_) {
    LogLine(3, "{VOK} <AX25Close> AX.25 Link Manager already closed");
    return false;
  }
  // The table is closed before anything is sent: a handler of the trace
  // that comes back finds it closed, not half emptied.
  ChannelTable::Records closing = links_.TakeAll();
  ax25Open_ = false;
  for (auto& link : closing) {
    if (link->LinkStatus != kLinkCreated) {
      LogLine(3, [&] { return Cat("{VOK} Disconnecting Port(", link->Port, ") From(", link->From, ") To(", link->To, ")"); });
      Disconnect(link->Port, link->From, link->To);
    }
    LogLine(3, "{VOK} Destroying Control block");
  }
  return true;
}

LinkCB* TVOKAPI::Isrt(int port, const Text& from, const Text& to) {
  LogLine(4, "{VOK} <Isrt>");
  LogLine(5, [&] { return Cat("{VOK} <Isrt> Port(", port, ") From(", from, ") To(", to, ")"); });
  if (!ax25Open_) {
    LogLine(4, "{VOK} <Isrt> AX.25 Link Manager not ready");
    return nullptr;
  }
  if (links_.FindLink(port, from, to) != nullptr) {
    LogLine(4, "{VOK} <Isrt> ChannelId already established");
    return nullptr;
  }
  LogLine(4, "{VOK} <Isrt> New channel Opened");
  return links_.Add(port, from, to);
}

void TVOKAPI::Dlte(int channelId) {
  LogLine(4, "{VOK} <Dlte>");
  LogLine(4, "{VOK} <Dlte> Looking for control block");
  // Out of the table before the lines that tell of it are written.
  const ChannelTable::Removed where = links_.Remove(channelId);
  if (where == ChannelTable::Removed::kNone) {
    LogLine(4, "{VOK} <Dlte> No element removed");
    return;
  }
  LogLine(4, "{VOK} <Dlte> Control Block Found");
  if (where == ChannelTable::Removed::kLater) {
    LogLine(4, "{VOK} <Dlte> Mid element removed");
    return;
  }
  LogLine(4, "{VOK} <Dlte> Is same than Head Pointer");
  LogLine(4, where == ChannelTable::Removed::kOnly ? "{VOK} <Dlte> Single Element"
                                                    : "{VOK} <Dlte> More elements follows");
}

int TVOKAPI::AX25Connect(int iPort, const Text& szFrom, const Text& szTo, const Text& szVIA) {
  LogLine(3, "{VOK} <AX25Connect>");
  LogLine(4, [&] { return Cat("{VOK} <AX25Connect> From(", szFrom, ") To(", szTo, ") Via(", szVIA, ")"); });
  if (!ax25Open_) {
    LogLine(3, "{VOK} <AX25Connect> AX.25 Link Manager not ready");
    return 0;
  }
  if (!IsAx25Address(szFrom) || !IsAx25Address(szTo)) {
    LogLine(3, "{VOK} <AX25Connect> Not an AX.25 address");
    return 0;
  }
  // Calls go on the air in capitals, and SSID 0 as the bare call; the
  // engine reports them so.
  const Text from = UpperText(BareCall(szFrom));
  const Text to = UpperText(BareCall(szTo));
  if (links_.FindLink(iPort, from, to) != nullptr) {
    LogLine(3, "{VOK} <AX25Connect> Link is already established");
    return 0;
  }
  LinkCB* link = Isrt(iPort, from, to);
  if (link == nullptr) {
    LogLine(3, "{VOK} <AX25Connect> AX.25 Link Manager memory allocation error");
    return 0;
  }
  link->LinkStatus = kLinkConnecting;
  const int id = link->ChannelId;
  if (!Connect(iPort, from, to, szVIA, kPidNoLayer3)) {
    // Nothing went to the engine: the channel ends, and the caller hears of
    // it once it holds the id.
    Dlte(id);
    PostDisconnected(id);
  }
  return id;
}

void TVOKAPI::PostDisconnected(int channelId) {
  Post([this, channelId] {
    LogLine(3, [&] { return Cat("{VOK} <AX25Connect> Channel(", channelId, ") ended: the engine link refused it"); });
    Raise("OnAX25Disconnect", OnAX25Disconnect, channelId);
  });
}

bool TVOKAPI::SendDisconnect(const LinkCB& link) {
  // Copies: the request's log lines may end the record.
  const int port = link.Port;
  const Text from = link.From;
  const Text to = link.To;
  return Disconnect(port, from, to);
}

bool TVOKAPI::AX25Disconnect(int iChannelId) {
  LogLine(3, "{VOK} <AX25Disconnect>");
  LogLine(4, [&] { return Cat("{VOK} <AX25Disconnect> Channel(", iChannelId, ")"); });
  if (!ax25Open_) {
    LogLine(3, "{VOK} <AX25Disconnect> AX.25 Link Manager not ready");
    return false;
  }
  LinkCB* link = links_.FindChannel(iChannelId);
  if (link == nullptr) {
    LogLine(3, "{VOK} <AX25Disconnect> Channel not active");
    return false;
  }
  if (link->ending) {
    LogLine(3, "{VOK} <AX25Disconnect> Disconnect already requested");
    return true;
  }
  link->ending = true;
  if (link->sentData && link->LinkStatus == kLinkConnected) {
    // The engine drops every frame not yet acknowledged when it gets the
    // disconnect: it waits until the engine has sent them.
    StartDrain(*link);
    LogLine(3, "{VOK} <AX25Disconnect> Disconnect held until the data is sent");
    return true;
  }
  const LinkCB ending = *link;
  LogLine(3, "{VOK} <AX25Disconnect> Disconnect Request Sent");
  if (!SendDisconnect(ending)) {
    // No engine link: the link is gone already.
    Dlte(iChannelId);
    PostDisconnected(iChannelId);
  }
  return true;
}

bool TVOKAPI::AX25Send(int iChannelId, const Text& szData) {
  LogLine(3, "{VOK} <AX25Send>");
  LogLine(4, [&] { return Cat("{VOK} <AX25Send> Channel(", iChannelId, ")"); });
  LogHex(5, szData);
  if (!ax25Open_) {
    LogLine(3, "{VOK} <AX25Send> AX.25 Link Manager not ready");
    return false;
  }
  LinkCB* link = links_.FindChannel(iChannelId);
  if (link == nullptr) {
    LogLine(3, "{VOK} <AX25Send> Channel not active");
    return false;
  }
  if (link->LinkStatus != kLinkConnected) {
    LogLine(3, "{VOK} <AX25Send> Link status is not connected");
    return false;
  }
  if (link->ending) {
    LogLine(3, "{VOK} <AX25Send> Link is disconnecting");
    return false;
  }
  const int port = link->Port;
  const Text from = link->From;
  const Text to = link->To;
  LogLine(3, "{VOK} <AX25Send> Data Sent");
  if (!SendData(port, kPidNoLayer3, from, to, szData)) return false;
  if (LinkCB* again = links_.FindChannel(iChannelId)) again->sentData = true;
  NoteSent(iChannelId, szData.size());
  return true;
}

bool TVOKAPI::AX25Info(int iChannelId, LinkInfoResult& info) {
  LogLine(3, "{VOK} <AX25Info>");
  if (!ax25Open_) {
    LogLine(3, "{VOK} <AX25Info> AX.25 Link Manager not ready");
    return false;
  }
  const LinkCB* link = links_.FindChannel(iChannelId);
  if (link == nullptr) {
    info = LinkInfoResult{};
    return false;
  }
  info.iPort = link->Port;
  info.szFrom = link->From;
  info.szTo = link->To;
  info.szVIA = link->Via;
  info.iLinkStatus = link->LinkStatus;
  info.iRx = link->Rx;
  info.iTx = link->Tx;
  return true;
}

void TVOKAPI::AX25Conn(int port, const Text& from, const Text& to) {
  LogLine(3, "{VOK} <AX25Conn>");
  LogLine(4, [&] { return Cat("{VOK} <AX25Conn> Port(", port, ") From(", from, ") To(", to, ")"); });
  if (LinkCB* link = links_.FindLink(port, from, to)) {
    if (link->LinkStatus != kLinkConnecting) {
      LogLine(3, "{VOK} <AX25Conn> Link status is not trying to connect");
      return;
    }
    link->LinkStatus = kLinkConnected;
    link->SetCalls(to, from);
    const LinkCB connected = *link;
    LogLine(3, "{VOK} <AX25Conn> New session connected");
    if (connected.ending) {
      // The engine may ignore a disconnect while it is still calling: the
      // one asked for while connecting is sent again now.
      LogLine(3, "{VOK} <AX25Conn> Disconnect requested while connecting, sent again");
      SendDisconnect(connected);
    }
    Raise("OnAX25Connect", OnAX25Connect, connected.ChannelId);
    return;
  }
  LogLine(3, "{VOK} <AX25Conn> New connection started");
  LinkCB* link = Isrt(port, from, to);
  if (link == nullptr) {
    LogLine(3, "{VOK} <AX25Conn> AX.25 Link Manager memory allocation error");
    return;
  }
  link->SetCalls(to, from);
  link->LinkStatus = kLinkConnected;
  const int id = link->ChannelId;
  Raise("OnAX25Connect", OnAX25Connect, id);
}

void TVOKAPI::AX25Get(int port, const Text& from, const Text& to, const Text& data) {
  LogLine(3, "{VOK} <AX25Get>");
  LogLine(4, [&] { return Cat("{VOK} <AX25Get> Port(", port, ") From(", from, ") To(", to, ")"); });
  LogHex(5, data);
  const LinkCB* link = links_.FindLink(port, from, to);
  if (link == nullptr) {
    LogLine(3, "{VOK} <AX25Get> Channel not found");
    return;
  }
  if (link->LinkStatus != kLinkConnected) {
    LogLine(3, "{VOK} <AX25Get> Link status is not connected");
    return;
  }
  const int id = link->ChannelId;
  LogLine(3, "{VOK} <AX25Get> Data Received");
  Raise("OnAX25Receive", OnAX25Receive, id, data);
}

void TVOKAPI::AX25Disc(int port, const Text& from, const Text& to) {
  LogLine(3, "{VOK} <AX25Disc>");
  LogLine(4, [&] { return Cat("{VOK} <AX25Disc> Port(", port, ") From(", from, ") To(", to, ")"); });
  const LinkCB* link = links_.FindLink(port, from, to);
  if (link == nullptr) {
    LogLine(3, "{VOK} <AX25Disc> Channel not found");
    return;
  }
  const int id = link->ChannelId;
  LogLine(3, "{VOK} <AX25Disc> Channel Disconnected");
  Raise("OnAX25Disconnect", OnAX25Disconnect, id);
  LogLine(3, "{VOK} <AX25Disc> Channel Removed");
  // The handler may have closed the table or ended the record already.
  Dlte(id);
}

void TVOKAPI::EndEveryChannel() {
  // The engine forgets a client's links with its connection: every record
  // is stale now. Taken out of the table first, so handlers that reconnect
  // find it empty.
  ChannelTable::Records lost = links_.TakeAll();
  for (auto& link : lost) {
    LogLine(3, [&] { return Cat("{VOK} <AX25Disc> Channel(", link->ChannelId, ") ended with the engine link"); });
    Raise("OnAX25Disconnect", OnAX25Disconnect, link->ChannelId);
  }
}

}  // namespace tw
