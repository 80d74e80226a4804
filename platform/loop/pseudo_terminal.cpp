#include "platform/loop/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace tw {

namespace {

std::string Failure(const std::string& what) { return what + ": " + std::strerror(errno); }

// What the link at `path` leads to; empty when it is no link.
std::string LinkTarget(const std::string& path) {
  std::array<char, 4096> target{};
  const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
  if (size <= 0 || static_cast<std::size_t>(size) >= target.size()) return {};
  return std::string(target.data(), static_cast<std::size_t>(size));
}

}  // namespace

std::string MakeRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return Failure("tcgetattr");
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) return Failure("tcsetattr");
  return {};
}

PseudoTerminal::~PseudoTerminal() { Close(); }

std::string PseudoTerminal::Open(const std::string& linkPath) {
  Close();
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return Failure("cannot create a pseudo-terminal");
  std::array<char, 256> name{};
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name.data(), name.size()) != 0) {
    std::string error = Failure("cannot unlock the pseudo-terminal");
    ::close(master);
    return error;
  }
  const int flags = ::fcntl(master, F_GETFL);
  if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
    std::string error = Failure("cannot make the pseudo-terminal non-blocking");
    ::close(master);
    return error;
  }
  master_ = master;
  slaveName_ = name.data();
  if (std::string error = ResetSlave(); !error.empty()) {
    Close();
    return error;
  }

  struct stat existing{};
  if (::lstat(linkPath.c_str(), &existing) == 0) {
    if (!S_ISLNK(existing.st_mode)) {
      Close();
      return linkPath + " exists and is not a symbolic link";
    }
    ::unlink(linkPath.c_str());
  }
  if (::symlink(slaveName_.c_str(), linkPath.c_str()) != 0) {
    std::string error = Failure("cannot create the link " + linkPath);
    Close();
    return error;
  }
  linkPath_ = linkPath;
  linked_ = true;
  return {};
}

void PseudoTerminal::Close() {
  // Another run may have taken the path over since.
  if (linked_ && LinkTarget(linkPath_) == slaveName_) ::unlink(linkPath_.c_str());
  linked_ = false;
  if (master_ >= 0 && ownsMaster_) ::close(master_);
  master_ = -1;
  ownsMaster_ = true;
  slaveName_.clear();
}

bool PseudoTerminal::FarEndOpen() const {
  if (master_ < 0) return false;
  pollfd watch{master_, POLLIN, 0};
  if (::poll(&watch, 1, 0) < 0) return false;
  return (watch.revents & POLLHUP) == 0;
}

std::string PseudoTerminal::ResetSlave() const {
  const int slave = ::open(slaveName_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave < 0) return Failure("cannot open " + slaveName_);
  std::string error = MakeRaw(slave);
  ::tcflush(slave, TCIFLUSH);
  ::close(slave);
  return error;
}

void PseudoTerminal::DropUnread() const {
  std::array<char, 4096> buffer{};
  // Ends at EAGAIN, or at EIO once the slave is closed and drained; bounded,
  // in case a writer opened the slave meanwhile.
  for (int i = 0; i < 64 && master_ >= 0; ++i) {
    if (::read(master_, buffer.data(), buffer.size()) <= 0) break;
  }
}

}  // namespace tw
