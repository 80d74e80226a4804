#include "platform/cli/long_options.h"

#include <getopt.h>

namespace tw {

namespace {

// Each long option is told apart by the value getopt_long returns for it,
// beyond every letter.
constexpr int kFirstLongValue = 256;

std::string OptionWord(const char* arg) {
  const std::string_view text = arg == nullptr ? std::string_view() : std::string_view(arg);
  return std::string(text.substr(0, text.find('=')));
}

}  // namespace

ReadOptions ReadLongOptions(const std::vector<std::string>& args, const std::vector<LongOption>& table,
                            WordOrder order) {
  std::vector<std::string> storage;
  storage.reserve(args.size() + 1);
  storage.emplace_back("program");
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : storage) argv.push_back(word.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(storage.size());

  // '+': stop at the first word that is no option; ':': a missing value is
  // told apart from an unknown option.
  std::string letters = order == WordOrder::OptionsFirst ? "+:" : ":";
  std::vector<option> longs;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const int value = table[i].letter != '\0' ? table[i].letter : kFirstLongValue + static_cast<int>(i);
    longs.push_back({table[i].name, table[i].takesValue ? required_argument : no_argument, nullptr, value});
    if (table[i].letter != '\0') {
      letters += table[i].letter;
      if (table[i].takesValue) letters += ':';
    }
  }
  longs.push_back({nullptr, 0, nullptr, 0});
  const auto entry = [&](int value) -> const LongOption* {
    for (std::size_t i = 0; i < table.size(); ++i) {
      const int own = table[i].letter != '\0' ? table[i].letter : kFirstLongValue + static_cast<int>(i);
      if (own == value) return &table[i];
    }
    return nullptr;
  };

  ReadOptions read;
  opterr = 0;
  optind = 0;  // a fresh start for each call (GNU)
  for (;;) {
    const int got = getopt_long(argc, argv.data(), letters.c_str(), longs.data(), nullptr);
    if (got == -1) break;
    const char* offending = optind > 0 && optind <= argc ? argv[static_cast<std::size_t>(optind - 1)] : nullptr;
    if (got == ':') {
      const LongOption* known = entry(optopt);
      read.error = known != nullptr ? "--" + std::string(known->name) + " needs a value"
                                    : OptionWord(offending) + " needs a value";
      return read;
    }
    if (got == '?') {
      const LongOption* known = optopt != 0 ? entry(optopt) : nullptr;
      if (known != nullptr && !known->takesValue && OptionWord(offending) != offending) {
        read.error = "--" + std::string(known->name) + " takes no value";
      } else if (optopt != 0 && optopt < kFirstLongValue && offending != nullptr && offending[1] != '-') {
        read.error = "unknown option -" + std::string(1, static_cast<char>(optopt));
      } else {
        read.error = "unknown option " + OptionWord(offending);
      }
      return read;
    }
    const LongOption* known = entry(got);
    if (known == nullptr) {
      read.error = "unknown option " + OptionWord(offending);
      return read;
    }
    read.options.push_back({known->name, optarg != nullptr ? std::string(optarg) : std::string()});
  }
  // getopt_long moved the other words behind the options (in argv, not in
  // storage).
  for (int i = optind; i < argc; ++i) read.words.emplace_back(argv[static_cast<std::size_t>(i)]);
  return read;
}

std::string UsageLine(std::string_view program, std::string_view error) {
  std::string line(program);
  line += ": ";
  line += error;
  line += " (see ";
  line += program;
  line += " --help)";
  return line;
}

}  // namespace tw
