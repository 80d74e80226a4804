#include "tools/loopback_engine/ui_frame.h"

#include "control/link/ax25_codec.h"
#include "platform/text/text.h"
#include "tools/loopback_engine/call_sign.h"

namespace tw::loopback {

namespace {

constexpr char kCr = '\r';
constexpr std::uint8_t kUiControl = 0x03;
constexpr std::uint8_t kExtensionBit = 0x01;
constexpr std::uint8_t kCommandBit = 0x80;

void AppendAddress(TraceLog& log, std::string& out, std::string_view call, std::uint8_t setBits) {
  std::string address = XCallSign(log, call);
  address.back() = static_cast<char>(static_cast<std::uint8_t>(address.back()) | setBits);
  out += address;
}

}  // namespace

std::optional<UiFrame> MakeUiFrame(std::string_view source, std::string_view destination,
                                   const std::vector<std::string>& digis, std::uint8_t pid,
                                   std::string_view info) {
  if (digis.size() > kMaxDigis || info.size() > kMaxInfo) return std::nullopt;
  auto from = AirCall(source);
  auto to = AirCall(destination);
  if (!from || !to) return std::nullopt;
  UiFrame frame{*from, *to, {}, pid, std::string(info)};
  for (const std::string& digi : digis) {
    auto air = AirCall(digi);
    if (!air) return std::nullopt;
    frame.digis.push_back(*air);
  }
  return frame;
}

std::string MonitorText(int port, const UiFrame& frame, std::string_view timeOfDay) {
  std::string text = Cat(' ', port, ":Fm ", frame.source, " To ", frame.destination);
  for (std::size_t i = 0; i < frame.digis.size(); ++i) {
    text += i == 0 ? " Via " : ",";
    text += frame.digis[i];
  }
  text += Cat(" <UI pid=", HexByte(frame.pid), " Len=", frame.info.size(), " >[", timeOfDay, ']',
              kCr, frame.info, kCr, '\0');
  return text;
}

std::string RawUiFrame(TraceLog& log, const UiFrame& frame) {
  std::string raw(1, '\0');
  AppendAddress(log, raw, frame.destination, kCommandBit);
  AppendAddress(log, raw, frame.source, frame.digis.empty() ? kExtensionBit : 0);
  for (std::size_t i = 0; i < frame.digis.size(); ++i) {
    AppendAddress(log, raw, frame.digis[i], i + 1 == frame.digis.size() ? kExtensionBit : 0);
  }
  raw.push_back(static_cast<char>(kUiControl));
  raw.push_back(static_cast<char>(frame.pid));
  raw += frame.info;
  return raw;
}

}  // namespace tw::loopback
