// tw-hostmode-client: a mail client's side of the host-mode bridge, driven
// by typed commands, printing every block the bridge sends.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "tools/hostmode_client/client_options.h"
#include "platform/cli/long_options.h"
#include "tools/hostmode_client/client_run.h"
#include "tools/hostmode_client/line_queue.h"

int main(int argc, char** argv) {
  using namespace tw::hostmode;
  const char* program = argc > 0 ? argv[0] : "tw-hostmode-client";
  ParsedClientOptions parsed = ParseClientOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::cerr << tw::UsageLine(program, parsed.error) << "\n";
    return tw::kUsageExitStatus;
  }
  const ClientOptions& options = *parsed.options;
  if (options.help) {
    std::cout << ClientUsage(program);
    return 0;
  }

  int input = STDIN_FILENO;
  if (!options.script.empty()) {
    input = ::open(options.script.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) {
      std::cerr << program << ": cannot open " << options.script << ": " << std::strerror(errno) << "\n";
      return 2;
    }
  }

  LineQueue lines;
  std::atomic<bool> done{false};
  std::thread reader([&] { FeedLines(input, lines, [&done] { return done.load(); }); });
  int status = RunClient(options, lines, std::cout, std::cerr);
  done = true;
  lines.Close();
  reader.join();
  if (input != STDIN_FILENO) ::close(input);
  return status;
}
