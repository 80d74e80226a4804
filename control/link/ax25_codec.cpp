#include "control/link/ax25_codec.h"

#include <exception>
#include <limits>

#include "platform/text/text.h"

namespace tw {

namespace {

std::uint8_t At(std::string_view bytes, std::size_t index) {
  return static_cast<std::uint8_t>(bytes[index]);
}

constexpr std::uint8_t kExtensionBit = 0x01;

}  // namespace

std::string FCallSign(TraceLog& log, std::string_view address) {
  try {
    if (address.size() < kAddressSize) {
      log.LogLine(1, "{L2} ERROR Corrupted Call received at FCallSign");
      return {};
    }
    std::string call;
    for (std::size_t i = 0; i < 6; ++i) {
      char ch = static_cast<char>((At(address, i) >> 1) & 0x7F);
      if (ch == ' ') break;
      call.push_back(ch);
    }
    unsigned ssid = (At(address, 6) >> 1) & 0x0F;
    if (ssid != 0) call += Cat('-', ssid);
    return call;
  } catch (const std::exception&) {
    log.LogLine(1, "{L2} Exception on module FCallSign");
    return {};
  }
}

std::string XCallSign(TraceLog& log, std::string_view callSign) {
  if (callSign.empty()) return {};
  std::size_t dash = callSign.find('-');
  std::string base(callSign.substr(0, dash));
  unsigned ssid = 0;
  if (dash != std::string_view::npos) {
    std::string_view ssidText = callSign.substr(dash + 1);
    if (IsDigits(ssidText)) {
      std::uint64_t value = DigitsValue(ssidText);
      if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        // Too large to be read as a number at all.
        log.LogLine(1, "{L2} Exception on module XCallSign");
        return "NOBODY0";
      }
      if (value <= 15) ssid = static_cast<unsigned>(value);
    }
  }
  constexpr char kShiftedBlank = 0x40;
  if (base.size() < 6) base.append(6 - base.size(), kShiftedBlank);
  for (std::size_t i = 0; i < 6; ++i) {
    if (base[i] == ' ' || base[i] == kShiftedBlank) break;
    base[i] = static_cast<char>((static_cast<unsigned char>(base[i]) << 1) & 0xFF);
  }
  base.push_back(static_cast<char>((ssid * 2) | 0x60));
  return base;
}

KissControl KissCtl(TraceLog& log, std::uint8_t control) {
  KissControl result;
  result.pollFinal = (control & 0x10) != 0;
  if ((control & 0x01) == 0) {
    log.LogLine(5, "{L2} <KissCtl> I Frame Detected ");
    result.type = "I";
    result.ns = static_cast<std::uint8_t>((control >> 1) & 0x07);
    result.nr = static_cast<std::uint8_t>((control >> 5) & 0x07);
  } else if ((control & 0x03) == 0x01) {
    log.LogLine(5, "{L2} <KissCtl> S Frame Detected ");
    static constexpr const char* kSupervisory[] = {"RR", "RNR", "REJ", ""};
    result.type = kSupervisory[(control >> 2) & 0x03];
    result.nr = static_cast<std::uint8_t>((control >> 5) & 0x07);
  } else {
    log.LogLine(5, "{L2} <KissCtl> U Frame Detected ");
    switch (control & 0xEC) {
      case 0x00: result.type = "UI"; break;
      case 0x0C: result.type = "DM"; break;
      case 0x2C: result.type = "SABM"; break;
      case 0x40: result.type = "DISC"; break;
      case 0x60: result.type = "UA"; break;
      case 0x84: result.type = "FRMR"; break;
      default: break;
    }
  }
  return result;
}

bool KissHeader(TraceLog& log, int enginePort, std::string_view frame, std::size_t& position,
                std::string& source, std::string& destination, std::string& via) {
  try {
    if (frame.size() <= 15) return false;
    destination = FCallSign(log, frame.substr(1, kAddressSize));
    source = FCallSign(log, frame.substr(8, kAddressSize));
    position = 16;
    via.clear();
    if ((At(frame, 14) & kExtensionBit) != 0) return true;
    // Bytes from `position` (one-based) to the end.
    auto remaining = [&] { return frame.size() + 1 - position; };
    if (remaining() < kAddressSize) {
      log.LogLine(1, [&] {
        return Cat("{L2} ERROR Frame too short Port(", enginePort, ") From(", source, ") To(",
                   destination, ") ,discarded");
      });
      return false;
    }
    while (remaining() >= kAddressSize) {
      std::string_view address = frame.substr(position - 1, kAddressSize);
      std::string call = RemoveChar(FCallSign(log, address), ' ');
      log.LogLine(5, [&] { return Cat("{L2} Frame Digipeater(", call, ")"); });
      if (!via.empty()) via.push_back(',');
      via += call;
      position += kAddressSize;
      if ((At(address, 6) & kExtensionBit) != 0) {
        log.LogLine(5, "{L2} Last Call of the Frame, abandon");
        return true;
      }
      if (remaining() < kAddressSize) {
        log.LogLine(5, "{L2} Frame Processed Completed without processing");
        // The path never ended: what follows cannot be a control byte.
        return false;
      }
    }
    return true;
  } catch (const std::exception&) {
    log.LogLine(1, "{L2} Exception on KissHeader Module");
    return false;
  }
}

KissFrame KissDecode(TraceLog& log, int enginePort, std::string_view frame) {
  KissFrame out;
  std::size_t position = 1;
  bool addressOk = KissHeader(log, enginePort, frame, position, out.source, out.destination, out.via);
  log.LogLine(4, [&] {
    return Cat("{L2} <KissDecode> Returned N(", position, ") From(", out.source, ") To(",
               out.destination, ") VIA(", out.via, ")");
  });
  auto corrupted = [&] { log.LogLine(2, "{L2} <KissDecode> Frame corrupted - too short "); };
  if (!addressOk || frame.size() < position) {
    corrupted();
    return out;
  }
  KissControl control = KissCtl(log, At(frame, position - 1));
  out.type = control.type;
  out.pollFinal = control.pollFinal;
  out.ns = control.ns;
  out.nr = control.nr;

  // PID at one-based position + 1, information after it.
  auto takeInformation = [&] {
    if (frame.size() >= position + 1) out.pid = At(frame, position);
    if (frame.size() >= position + 2) {
      out.info = std::string(frame.substr(position + 1));
      out.infoLength = out.info.size();
      return true;
    }
    corrupted();
    return false;
  };

  if (out.type == "I") {
    log.LogLine(5, "{L2} <KissDecode> I Frame Detected ");
    if (takeInformation()) {
      log.LogLine(5, [&] { return Cat("{L2} Info Buffer decoded Len(", out.infoLength, ")"); });
    } else {
      out.type.clear();
    }
  } else if (out.type == "RR" || out.type == "RNR" || out.type == "REJ") {
    log.LogLine(5, "{L2} <KissDecode> S Frame Detected ");
  } else if (out.type == "UI") {
    takeInformation();
  } else {
    log.LogLine(5, "{L2} <KissDecode> U Frame Detected ");
    out.pid = 0;
  }
  return out;
}

}  // namespace tw
