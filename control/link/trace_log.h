// The dated, level-gated trace that every object of the control library
// writes. Lines go to a file that is opened, appended to and closed for each
// line (so several objects may share one file), and optionally to a sink.
//
// A disabled level costs one comparison: callers that build a message pass a
// callable, which runs only when the level is enabled.
#pragma once

#include <concepts>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace tw {

class TraceLog {
 public:
  using Sink = std::function<void(const std::string& line)>;

  TraceLog() = default;
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // Engine objects switch their log with a text that must be exactly "YES".
  void SetSwitch(std::string_view value) {
    switchText_ = std::string(value);
    on_ = value == "YES";
  }
  const std::string& Switch() const { return switchText_; }

  // The component switches its log with a boolean.
  void SetOn(bool on) {
    on_ = on;
    switchText_ = on ? "YES" : "NOT";
  }
  bool On() const { return on_; }

  void SetLevel(int level) { level_ = level; }
  int Level() const { return level_; }

  // Empty means no file.
  void SetFileName(std::string name) { fileName_ = std::move(name); }
  const std::string& FileName() const { return fileName_; }

  // Receives every written line (dated lines and dump lines) after the file.
  void SetSink(Sink sink) { sink_ = std::move(sink); }

  bool Enabled(int level) const noexcept { return on_ && level <= level_; }

  void LogLine(int level, std::string_view message) {
    if (Enabled(level)) WriteLine(message);
  }

  template <class Make>
    requires std::invocable<Make&>
  void LogLine(int level, Make&& make) {
    if (Enabled(level)) WriteLine(make());
  }

  // Hex dump: 16 bytes a line, no date; nothing for empty data.
  void LogHex(int level, std::string_view data) {
    if (Enabled(level) && !data.empty()) WriteHex(data);
  }

  // Empties the file (creating it when missing); used when a log is switched on.
  void TruncateFile() const;

  // The dump lines for `data`, as written by LogHex.
  static std::string HexDump(std::string_view data);

  // Local date and time, "YYYY-MM-DD HH:MM:SS".
  static std::string Timestamp() { return LocalTime("%Y-%m-%d %H:%M:%S"); }

  // The local time now, or at `when`, in strftime's `format`.
  static std::string LocalTime(const char* format);
  static std::string LocalTime(std::time_t when, const char* format);

 private:
  void WriteLine(std::string_view message);
  void WriteHex(std::string_view data);
  void Emit(const std::string& text, bool isDump);

  std::string switchText_;
  bool on_ = false;
  int level_ = 1;
  std::string fileName_;
  Sink sink_;
  std::time_t stampedAt_ = 0;  // the second `stamp_` shows
  std::string stamp_;
};

}  // namespace tw
