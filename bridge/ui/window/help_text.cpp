#include "bridge/ui/window/help_text.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tw::window {

std::string ProgramDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

HelpText LoadHelpText(const std::vector<std::string>& directories, std::size_t limit) {
  std::string tried;
  for (const std::string& directory : directories) {
    const std::string path = directory.empty() ? std::string(kHelpFile) : directory + "/" + kHelpFile;
    tried += "\n  " + path;
    std::ifstream file(path, std::ios::binary);
    if (!file) continue;
    HelpText help;
    help.source = path;
    help.text.resize(limit);
    file.read(help.text.data(), static_cast<std::streamsize>(limit));
    if (file.bad()) continue;
    help.text.resize(static_cast<std::size_t>(file.gcount()));
    if (file.peek() != std::ifstream::traits_type::eof()) {
      help.text += "\n\n[... the rest of " + path + " is not shown: it is longer than " +
                   std::to_string(limit / 1024) + " KiB]\n";
    }
    return help;
  }
  return {"The help file " + std::string(kHelpFile) + " could not be read. Looked for:" + tried + "\n", {}};
}

}  // namespace tw::window
