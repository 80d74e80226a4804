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

// One dump line, " |" sixteen hex triples "|" sixteen characters and the
// line end, made in a local buffer and appended at once: a trace at its
// highest level dumps every frame, and growing the string a byte at a time
// would cost more than the frame's own handling.
constexpr std::size_t kDumpLineSize = 2 + 16 * 3 + 1 + 16 + 1;

void AppendDumpLine(std::string& out, std::string_view chunk) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char line[kDumpLineSize];
  char* at = line;
  *at++ = ' ';
  *at++ = '|';
  for (std::size_t i = 0; i < 16; ++i) {
    if (i < chunk.size()) {
      auto byte = static_cast<unsigned char>(chunk[i]);
      *at++ = kDigits[byte >> 4];
      *at++ = kDigits[byte & 0x0F];
    } else {
      *at++ = '-';
      *at++ = '-';
    }
    *at++ = ' ';
  }
  *at++ = '|';
  for (std::size_t i = 0; i < 16; ++i) {
    auto byte = i < chunk.size() ? static_cast<unsigned char>(chunk[i]) : ' ';
    *at++ = byte >= 32 && byte <= 122 ? static_cast<char>(byte) : '.';
  }
  *at = '\n';
  out.append(line, kDumpLineSize);
}

}  // namespace

std::string TraceLog::LocalTime(const char* format) { return LocalTime(std::time(nullptr), format); }

std::string TraceLog::LocalTime(std::time_t when, const char* format) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[64];
  std::size_t n = std::strftime(text, sizeof text, format, &local);
  return std::string(text, n);
}

std::string TraceLog::HexDump(std::string_view data) {
  std::string out;
  out.reserve((data.size() / 16 + 1) * kDumpLineSize);
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
  // The date changes once a second while a busy trace writes thousands of
  // lines: it is formatted again only when the second has changed.
  const std::time_t now = std::time(nullptr);
  if (now != stampedAt_ || stamp_.empty()) {
    stamp_ = LocalTime(now, "%Y-%m-%d %H:%M:%S");
    stampedAt_ = now;
  }
  std::string line = stamp_;
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
