#include "control/beacon/l2_digi.h"

#include <cstdint>

#include "control/link/ax25_codec.h"
#include "platform/text/text.h"
#include "control/link/tl2_trap.h"

namespace tw {

namespace {

// Offsets into the raw frame, counted from 0: the leading byte, then the
// destination and source addresses, then the digipeater path.
constexpr std::size_t kDestination = 1;
constexpr std::size_t kSource = 8;
constexpr std::size_t kSourceSsid = 14;
constexpr std::size_t kFirstStation = 15;
constexpr std::size_t kSsidOffset = kAddressSize - 1;

// The frame must hold this much past a station's first byte for the station
// to be examined: its address and at least one byte after it.
constexpr std::size_t kStationSpan = kAddressSize + 1;

constexpr std::uint8_t kRepeatedBit = 0x80;
constexpr std::uint8_t kLastAddressBit = 0x01;

// A Post that nests deeper than this cannot come from marking one station per
// pass (eight stations, then one pass that finds them all repeated).
constexpr int kMaxNesting = static_cast<int>(TL2Digi::kMaxDigipeaters) + 1;

std::uint8_t ByteAt(std::string_view frame, std::size_t index) {
  return static_cast<std::uint8_t>(frame[index]);
}

bool HasRoomForStation(std::string_view frame, std::size_t at) {
  return frame.size() >= at + kStationSpan;
}

// Whether the walk below could reach a station past the eighth: it goes on
// as long as a station is not the last address and the next one fits.
bool PathTooLong(std::string_view frame) {
  std::size_t stations = 1;
  std::size_t at = kFirstStation;
  while ((ByteAt(frame, at + kSsidOffset) & kLastAddressBit) == 0 &&
         HasRoomForStation(frame, at + kAddressSize)) {
    at += kAddressSize;
    if (++stations > TL2Digi::kMaxDigipeaters) return true;
  }
  return false;
}

}  // namespace

TL2Digi::TL2Digi() {
  log_.SetSwitch("YES");
  log_.SetLevel(1);
  log_.SetFileName("L2Digi.LOG");
}

TL2Digi::~TL2Digi() {
  log_.LogLine(1, [&] { return Cat("{L2Digi} VOK L2 Digi(", DigiCall, ") Object Destroyed"); });
}

void TL2Digi::SetActive(bool active) {
  active_ = active;
  if (active) log_.LogLine(2, [&] { return Cat("{L2Digi} L2 Digi activated as ", DigiCall); });
}

void TL2Digi::Post(TL2* link, int port, std::string_view frame) {
  if (!active_) return;
  ++depth_;
  RunTrapped(log_, [&] {
    if (depth_ > kMaxNesting) {
      log_.LogLine(1, "{L2DIGI} ERROR Frame posted again deeper than any path allows, discarded");
      return;
    }
    Examine(link, port, frame);
  }, "{L2DIGI} Exception on Post Module");
  --depth_;
}

void TL2Digi::Examine(TL2* link, int port, std::string_view frame) {
  if (frame.size() <= kFirstStation) {
    log_.LogLine(1, "{L2DIGI} ERROR Corrupted Frame less than 15 bytes long, discarded");
    return;
  }
  if ((ByteAt(frame, kSourceSsid) & kLastAddressBit) != 0) return;  // no path to repeat

  const std::string source = CallSignAt(link, frame, kSource);
  const std::string destination = CallSignAt(link, frame, kDestination);
  log_.LogLine(3, [&] {
    return Cat("{L2DIGI} KISS Post->Port (", port, ") From(", source, ") To(", destination, ")");
  });
  log_.LogHex(5, frame);

  if (!HasRoomForStation(frame, kFirstStation)) {
    log_.LogLine(1, [&] {
      return Cat("{L2DIGI} ERROR Frame too short Port(", port, " From(", source, ") To(",
                 destination, ") ,discarded");
    });
    return;
  }
  if (PathTooLong(frame)) {
    log_.LogLine(1, [&] {
      return Cat("{L2DIGI} ERROR Path longer than ", TL2Digi::kMaxDigipeaters,
                 " digipeaters Port(", port, ") From(", source, ") To(", destination,
                 ") ,discarded");
    });
    return;
  }

  std::size_t at = kFirstStation;
  for (;;) {
    const std::string station = RemoveChar(CallSignAt(link, frame, at), ' ');
    log_.LogLine(4, [&] {
      return Cat("{L2DIGI} Frame Digipeater(", station, ") L2XDigi(", DigiCall, ")");
    });
    const std::uint8_t ssid = ByteAt(frame, at + kSsidOffset);
    if ((ssid & kRepeatedBit) == 0) {
      std::string marked(frame);
      marked[at + kSsidOffset] = static_cast<char>(ssid | kRepeatedBit);
      if (OnDigipeat) {
        int done = 0;
        // A copy: the handler may replace itself.
        auto handler = OnDigipeat;
        handler(*this, link, port, source, destination, station, marked, done);
        if (done != 0) {
          log_.LogLine(2, [&] { return Cat("L2DIGI Frame processing complete for Digi(", station, ")"); });
        }
      }
      return;
    }
    log_.LogLine(5, [&] { return Cat("{L2DIGI} Frame already digied by Digi(", station, ")"); });
    if ((ssid & kLastAddressBit) != 0) {
      log_.LogLine(5, "{L2DIGI} Last Call of the Frame, abandon");
      return;
    }
    at += kAddressSize;
    if (!HasRoomForStation(frame, at)) {
      log_.LogLine(5, "{L2DIGI} Frame Processed Completed without processing");
      return;
    }
  }
}

std::string TL2Digi::CallSignAt(TL2* link, std::string_view frame, std::size_t offset) {
  std::string_view address = frame.substr(offset, kAddressSize);
  return link != nullptr ? link->FCallSign(address) : FCallSign(log_, address);
}

}  // namespace tw
