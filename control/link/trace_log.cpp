#include "control/link/trace_log.h"

#include <cstdio>
#include <ctime>

namespace tw {

namespace {

// Appends `text` to the file, creating it when missing. A file that cannot be
// written is skipped: logging must never stop the operation that logs.
void AppendToFile(const std::string& fileName, const std::string& text) {
  if (fileName.empty()) return;
  std::FILE* file = std::fopen(fileName.c_str(), "ab");
  if (file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

void AppendDumpLine(std::string& out, std::string_view chunk) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  std::string chars;
  hex.reserve(48);
  chars.reserve(16);
  for (char ch : chunk) {
    auto byte = static_cast<unsigned char>(ch);
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
    hex.push_back(' ');
    chars.push_back(byte >= 32 && byte <= 122 ? ch : '.');
  }
  for (std::size_t i = chunk.size(); i < 16; ++i) {
    hex.append("-- ");
    chars.push_back(' ');
  }
  out.append(" |").append(hex).append("|").append(chars).append("\n");
}

}  // namespace

std::string TraceLog::LocalTime(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  std::size_t n = std::strftime(text, sizeof text, format, &local);
  return std::string(text, n);
}

std::string TraceLog::HexDump(std::string_view data) {
  std::string out;
  out.reserve((data.size() / 16 + 1) * 68);
  for (std::size_t at = 0; at < data.size(); at += 16) {
    AppendDumpLine(out, data.substr(at, 16));
  }
  return out;
}

void TraceLog::TruncateFile() const {
  if (fileName_.empty()) return;
  if (std::FILE* file = std::fopen(fileName_.c_str(), "wb")) std::fclose(file);
}

void TraceLog::WriteLine(std::string_view message) {
  std::string line = Timestamp();
  line.push_back(' ');
  line.append(message);
  Emit(line, false);
}

void TraceLog::WriteHex(std::string_view data) { Emit(HexDump(data), true); }

void TraceLog::Emit(const std::string& text, bool isDump) {
  if (isDump) {
    AppendToFile(fileName_, text);
    if (sink_) {
      // One sink call per dump line, without its line end.
      std::size_t begin = 0;
      while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        sink_(text.substr(begin, end - begin));
        begin = end + 1;
      }
    }
    return;
  }
  AppendToFile(fileName_, text + "\n");
  if (sink_) sink_(text);
}

}  // namespace tw
