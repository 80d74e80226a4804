#include "bridge/start_lines.h"

#include "bridge/log_text.h"
#include "platform/text/text.h"

namespace tw {

std::string SettingsFields(const CommandLine& c) {
  return Cat(LogBytes(c.mycall), ",", c.defport, ",", c.acceptany ? "true" : "false", ",", c.engineport, ",",
             c.listenport);
}

std::string SettingsLine(const CommandLine& c, std::string_view engineHost, std::string_view listenAddress,
                         std::string_view linePlace) {
  // An IPv6 address is bracketed before its port.
  const auto hostPort = [](std::string_view host, int port) {
    const bool v6 = host.find(':') != std::string_view::npos;
    return Cat(v6 ? "[" : "", LogBytes(host), v6 ? "]" : "", ":", port);
  };
  return Cat("settings: call ", c.mycall.empty() ? std::string("(none)") : LogBytes(c.mycall),
             ", default radio port ", c.defport, ", accept ",
             c.acceptany ? std::string("any radio port") : Cat("radio port ", c.defport, " only"), ", engine ",
             hostPort(engineHost, c.engineport), ", ",
             linePlace.empty() ? "listen " + hostPort(listenAddress, c.listenport) : "client on " + LogBytes(linePlace));
}

bool IsLoopback(std::string_view address) {
  return address == "::1" || address == "localhost" || address.starts_with("127.");
}

std::string OpenListenLine(std::string_view address, int port, std::string_view call) {
  return Cat("WARNING listening on ", LogBytes(address), ": anyone who can reach port ", port,
             " can transmit under ", call.empty() ? std::string("the call-sign") : LogBytes(call),
             "; --listen-address 127.0.0.1 keeps it to this machine");
}

std::string ClientName(std::string_view address) {
  return address.empty() ? std::string("(address unknown)") : LogBytes(address);
}

std::string ListenProblem(std::string_view systemError) {
  if (systemError.empty()) return "the system gave no reason";
  if (UpperText(systemError) == "ADDRESS ALREADY IN USE") return "address already in use (another Tidewire?)";
  return LogBytes(systemError);
}

}  // namespace tw
