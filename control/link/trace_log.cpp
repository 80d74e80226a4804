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

// Written straight into `out`: a trace at its highest level dumps every
// frame, and building each line from pieces would cost more than the frame's
// own handling.
void AppendDumpLine(std::string& out, std::string_view chunk) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.append(" |");
  for (char ch : chunk) {
    auto byte = static_cast<unsigned char>(ch);
    const char hex[3] = {kDigits[byte >> 4], kDigits[byte & 0x0F], ' '};
    out.append(hex, 3);
  }
  for (std::size_t i = chunk.size(); i < 16; ++i) out.append("-- ");
  out.push_back('|');
  for (char ch : chunk) {
    auto byte = static_cast<unsigned char>(ch);
    out.push_back(byte >= 32 && byte <= 122 ? ch : '.');
  }
  out.append(16 - chunk.size(), ' ');
  out.push_back('\n');
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
