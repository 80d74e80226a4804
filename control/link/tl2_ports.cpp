// TL2: the port table, filled from the engine's port list, capability
// replies and heard lists.
#include <algorithm>

#include "platform/text/text.h"
#include "control/link/tl2.h"

namespace tw {

namespace {

std::uint8_t ByteOr0(std::string_view data, std::size_t index) {
  return index < data.size() ? static_cast<std::uint8_t>(data[index]) : 0;
}

}  // namespace

void TL2::ParsePort(std::string_view data) {
  Trap("ParsePort", [&] {
    std::string rest(data);
    std::string countText = SplitAt(rest, ";");
    if (!IsDigits(countText)) return;
    std::uint64_t announced = DigitsValue(countText);
    // The port table has 16 records; ports past them are not addressed at all.
    portMax_ = static_cast<int>(std::min<std::uint64_t>(announced, kPortRecords));
    if (announced > static_cast<std::uint64_t>(kPortRecords)) {
      log_.LogLine(1, [&] {
        return Cat("{L2} <ParsePort> ", countText, " ports announced, only ", kPortRecords, " are used");
      });
    }
    for (int n = 1; n <= portMax_; ++n) {
      PortInfo& record = WritablePort(n);
      record.portName = CopyToNul(SplitAt(rest, ";"));
      log_.LogLine(5, [&] { return Cat("{L2} <ParsePort> Port(", n, ") ", record.portName); });
      if (Contains(UpperText(record.portName), "LOOPBACK")) {
        loopBack_ = true;
        loopBackPort_ = n;
        log_.LogLine(5, [&] { return Cat("{L2} <ParsePort> Port ", n, " detected as a LoopBack"); });
      }
      record.valid = true;
      record.heard.fill(std::string());
      Write(n, 0, 'H', "", "", "");
      Write(n, 0, 'g', "", "", "");
      Write(n, 0, 'y', "", "", "");
    }
    if (Poll) {
      if (!pollTimer_) {
        pollTimer_ = loop_.NewTimer();
        pollTimer_->SetHandler([this] { PollTick(); });
      }
      pollTimer_->SetEnabled(false);
      pollTimer_->SetInterval(kPollIntervalMs);
      pollTimer_->SetEnabled(true);
    }
  });
}

void TL2::ParseParam(int port, std::string_view data) {
  Trap("ParseParam", [&] {
    if (port < 1 || port > kPortRecords) return;
    PortInfo& r = WritablePort(port);
    // A short reply leaves the missing capabilities at 0.
    r.onAirBaud = ByteOr0(data, 0);
    r.trafficLevel = ByteOr0(data, 1);
    r.txDelay = ByteOr0(data, 2);
    r.txTail = ByteOr0(data, 3);
    r.persist = ByteOr0(data, 4);
    r.slotTime = ByteOr0(data, 5);
    r.maxFrame = ByteOr0(data, 6);
    r.ax25Channel = ByteOr0(data, 7);
    r.howManyBytes = ByteOr0(data, 8) + 256u * ByteOr0(data, 9) + 65536u * ByteOr0(data, 10);
  });
}

void TL2::ParseHeard(int port, std::string_view data) {
  Trap("ParseHeard", [&] {
    if (port < 1 || port > kPortRecords) return;
    auto& heard = WritablePort(port).heard;
    for (std::string& slot : heard) {
      if (slot.empty()) {
        slot = CopyToNul(data);
        return;
      }
    }
  });
}

}  // namespace tw
