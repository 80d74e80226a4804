// The program's command line: any text gives either a start-up error or
// values within their ranges, and those values written out again read back
// the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/command_line.h"
#include "platform/text/text.h"
#include "fuzz/fuzz_check.h"

using tw::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const tw::CommandLine line = tw::cmdargs(text);

  Require(line.tooManyFields == (std::count(text.begin(), text.end(), ',') >= 5), "sixth field noticed");
  Require(line.mycall == tw::UpperText(line.mycall), "call-sign in upper case");
  Require(line.mycall.find(',') == std::string::npos, "call-sign is one field");
  if (!line.error.empty()) return 0;
  Require(line.defport >= 1 && line.defport <= 16, "default radio port in range");
  Require(line.engineport >= 1 && line.engineport <= 65535, "engine port in range");
  Require(line.listenport >= 1 && line.listenport <= 65535, "listen port in range");

  const std::string again = tw::Cat(line.mycall, ",", line.defport, ",", line.acceptany ? "true" : "FALSE",
                                    ",", line.engineport, ",", line.listenport);
  const tw::CommandLine reread = tw::cmdargs(again);
  Require(reread.error.empty(), "written-out values are accepted");
  Require(reread.defport == line.defport && reread.acceptany == line.acceptany &&
              reread.engineport == line.engineport && reread.listenport == line.listenport,
          "written-out values read back the same");
  // Blanks around the call-sign are trimmed, so only compare what survives.
  Require(reread.mycall == line.mycall || line.mycall.find_first_of(" \t") != std::string::npos,
          "call-sign reads back the same");
  return 0;
}
