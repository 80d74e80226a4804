#include "bridge/app/log_sink.h"

#include <cerrno>
#include <cstring>

namespace tw {

LogSink::~LogSink() {
  fileView_.reset();
  if (file_ != nullptr) std::fclose(file_);
}

std::string LogSink::OpenFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) return "cannot open the log file " + path + ": " + std::strerror(errno);
  fileView_.reset();
  if (file_ != nullptr) std::fclose(file_);
  file_ = file;
  fileView_ = std::make_unique<ConsoleView>(file_, true);
  return {};
}

void LogSink::addlog(const std::string& line) {
  front_.addlog(line);
  if (fileView_) fileView_->addlog(line);
}

void LogSink::ShowMyCall(const std::string& callSign) {
  front_.ShowMyCall(callSign);
  if (fileView_) fileView_->ShowMyCall(callSign);
}

void LogSink::ShowDefaultPort(const std::string& text) {
  front_.ShowDefaultPort(text);
  if (fileView_) fileView_->ShowDefaultPort(text);
}

void LogSink::ShowAccept(const std::string& text) {
  front_.ShowAccept(text);
  if (fileView_) fileView_->ShowAccept(text);
}

}  // namespace tw
