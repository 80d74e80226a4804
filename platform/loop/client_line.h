// Where the mail client comes from when it is not a TCP connection: a
// pseudo-terminal whose slave side a serial-port program opens through a
// symbolic link, or a serial device with its line settings.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// The flow controls a serial line can use: name in the enum, word on the
// command line, text in the log.
#define TW_SERIAL_FLOWS(X)                           \
  X(None, "none", "no flow control")                 \
  X(RtsCts, "rtscts", "RTS/CTS flow control")        \
  X(XonXoff, "xonxoff", "XON/XOFF flow control")

enum class SerialFlow {
#define TW_FLOW_ENUM(name, word, text) name,
  TW_SERIAL_FLOWS(TW_FLOW_ENUM)
#undef TW_FLOW_ENUM
};

std::optional<SerialFlow> SerialFlowFromWord(std::string_view word);
std::string_view SerialFlowWord(SerialFlow flow);
std::string_view SerialFlowText(SerialFlow flow);

// The rates a serial line may be set to: those every Linux serial driver
// knows by name.
inline constexpr std::array<unsigned, 11> kSerialBauds = {300,   600,   1200,  2400,   4800,  9600,
                                                          19200, 38400, 57600, 115200, 230400};
inline constexpr unsigned kDefaultSerialBaud = 9600;
bool IsSerialBaud(unsigned baud);

struct ClientLine {
  enum class Kind {
    Tcp,     // the listening socket; nothing below applies
    Pty,     // `path` is the symbolic link to create to the slave side
    Serial,  // `path` is the device, opened at `baud`, 8N1, with `flow`
  };
  Kind kind = Kind::Tcp;
  std::string path;
  unsigned baud = kDefaultSerialBaud;
  SerialFlow flow = SerialFlow::None;
};

}  // namespace tw
