// The BBS from Debian's `fbb` package (its daemon, xfbbd) as a child process,
// driving tidewire through its KAM host-mode port, with a configuration tree
// of its own: one KAM port with four channels, one forward partner.
//
// Its path buffers are short, so the tree lives in a fresh directory with a
// short name straight under /tmp, whatever TMPDIR says. On a fresh tree it
// asks "Creating file ... (Y/N)" on standard input for each file it makes, and
// after an end of input it asks for ever: its input is an endless "Y".
#pragma once

#include <cstdint>
#include <string>

#include "tests/program/program_rig.h"

namespace tw::fbb_test {

struct FbbSettings {
  std::string call = "N0BBS";     // the BBS, SSID 0
  std::string partner = "N0FAR";  // the BBS it forwards to, on the KAM port
  std::string terminal;           // the serial device of the KAM port
  std::string preload;            // the library that opens it (see kam_tty_preload.c)
  // A message queued for the partner before the start (imported by the BBS).
  std::string outgoingTitle = "Forwarded test";
  std::string outgoingText = "This message goes out to the partner.\nSecond line.\n";
};

class FbbBbs {
 public:
  FbbBbs() = default;
  ~FbbBbs();
  FbbBbs(const FbbBbs&) = delete;
  FbbBbs& operator=(const FbbBbs&) = delete;

  // Whether this machine has the BBS; the reason when not.
  static bool Installed(std::string& whyNot);

  // Writes the tree and starts the daemon; false with the reason.
  bool Start(const FbbSettings& settings, std::string& error);
  // Until the daemon says it runs (loading its files takes a few seconds).
  bool WaitUntilReady(program_test::Millis timeout) const;

  // The daemon's console output and the BBS's own log (connections,
  // messages, forwards), for the report and for failure messages. The BBS
  // writes its log out on the minute: the last minute's lines may be missing.
  std::string Output() const { return process_.Output(); }
  std::string SessionLog() const;

  void Stop();
  // Leaves the tree in place for a look after a failure.
  void KeepFiles() { keepFiles_ = true; }
  const std::string& Directory() const { return dir_; }

 private:
  bool WriteTree(const FbbSettings& settings, std::string& error) const;

  std::string dir_;
  bool keepFiles_ = false;
  program_test::ChildProcess process_;
};

}  // namespace tw::fbb_test
