// The client on a terminal line, over a real loop: the far end is played
// here on plain descriptors, as a serial-port program would (open with
// O_RDWR|O_NOCTTY, its own line settings, a count of bytes waiting and
// reads of one byte). A pseudo-terminal pair stands in for a serial cable.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/asio_event_loop.h"
#include "platform/loop/asio_line_client.h"
#include "tests/loop/loop_test_support.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Long enough for several looks at the pseudo-terminal: what has not
// happened by then does not happen.
constexpr std::chrono::milliseconds kLooks = AsioLineClient::kLookInterval * 4;

// One holder of a terminal line's far end.
class FarEnd {
 public:
  FarEnd() = default;
  ~FarEnd() { Close(); }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  bool Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return fd_ >= 0;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  void Adopt(int fd) {
    Close();
    fd_ = fd;
  }
  int Fd() const { return fd_; }

  void Write(std::string_view bytes) const {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
      } else {
        pollfd writable{fd_, POLLOUT, 0};
        ::poll(&writable, 1, 100);
      }
    }
  }
  // What is waiting, taken as a program that counts the bytes waiting and
  // reads them one at a time would take it.
  std::string ReadWaiting() {
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) return {};
    std::string bytes;
    for (int i = 0; i < waiting; ++i) {
      char byte = 0;
      if (::read(fd_, &byte, 1) != 1) break;
      bytes += byte;
    }
    received += bytes;
    return bytes;
  }
  termios Settings() const {
    termios settings{};
    ::tcgetattr(fd_, &settings);
    return settings;
  }

  std::string received;

 private:
  int fd_ = -1;
};

class LineClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tw-line-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    link_ = (dir_ / "kam").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<AsioLineClient> Line(ClientLine::Kind kind, const std::string& path, ServerEvents& events) {
    ClientLine line;
    line.kind = kind;
    line.path = path;
    line.baud = 19200;
    auto client = std::make_unique<AsioLineClient>(loop.Context(), line);
    client->SetHandlers(events.Handlers(*client));
    return client;
  }
  bool RunUntil(const std::function<bool()>& done) { return loop.RunUntil(done, kPatience); }
  void RunFor(std::chrono::milliseconds time) { loop.RunFor(time); }
  // Runs the loop in short spells until `done`, for conditions that no
  // handler of the loop's makes true (bytes reaching the far end).
  bool Await(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      loop.RunFor(std::chrono::milliseconds(5));
    }
    return true;
  }
  bool FarReceives(FarEnd& far, std::size_t count) {
    return Await([&] {
      far.ReadWaiting();
      return far.received.size() >= count;
    });
  }

  // A pair standing in for a serial cable: the far end holds the master,
  // the slave is the device.
  struct Cable {
    FarEnd far;
    std::string device;
  };
  static std::unique_ptr<Cable> NewCable() {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return nullptr;
    auto cable = std::make_unique<Cable>();
    cable->device = ::ttyname(slave);
    ::close(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    cable->far.Adopt(master);
    return cable;
  }

  AsioEventLoop loop;  // first: outlives every object on it
  fs::path dir_;
  std::string link_;
};

TEST_F(LineClientTest, ThePseudoTerminalsLinkIsMadeOnlyWhereNothingElseIs) {
  struct Case {
    const char* name;
    std::function<void(const std::string& link)> before;  // what is at the path already
    bool listens;
    std::string reason;  // in Place() when it does not
    bool takenOver;      // someone else's link replaces ours meanwhile: Close leaves it
  } cases[] = {
      {"nothing there", [](const std::string&) {}, true, "", false},
      {"a link an earlier run left", [](const std::string& link) { fs::create_symlink("/dev/pts/999999", link); },
       true, "", false},
      {"a file", [](const std::string& link) { std::ofstream(link) << "mine"; }, false,
       "exists and is not a symbolic link", false},
      {"no such directory", [](const std::string&) {}, false, "No such file or directory", false},
      {"taken over", [](const std::string&) {}, true, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string link = c.reason == "No such file or directory" ? link_ + ".d/kam" : link_;
    fs::remove(link_);
    c.before(link);
    ServerEvents events;
    auto line = Line(ClientLine::Kind::Pty, link, events);
    ASSERT_EQ(line->Listen(0), c.listens) << line->Place();
    if (!c.listens) {
      EXPECT_NE(line->Place().find(c.reason), std::string::npos) << line->Place();
      EXPECT_EQ(line->Place().rfind("pseudo-terminal " + link + ": ", 0), 0u) << "no slave to name";
      if (fs::exists(fs::symlink_status(link))) {
        EXPECT_FALSE(fs::is_symlink(fs::symlink_status(link))) << "what was there is left alone";
      }
      continue;
    }
    EXPECT_TRUE(line->Listen(0)) << "listening again changes nothing";
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), line->SlaveName());
    EXPECT_EQ(line->Place(), "pseudo-terminal " + link + " (" + line->SlaveName() + "), no TCP listener");
    if (c.takenOver) {
      fs::remove(link);
      fs::create_symlink("/dev/null", link);
    }
    line->Close();
    EXPECT_EQ(fs::is_symlink(fs::symlink_status(link)), c.takenOver);
  }
  // Destroyed without Close: the link goes too.
  ServerEvents events;
  fs::remove(link_);
  auto line = Line(ClientLine::Kind::Pty, link_, events);
  ASSERT_TRUE(line->Listen(0));
  line.reset();
  EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
}

TEST_F(LineClientTest, TheFarEndOpeningAndClosingIsTheClientArrivingAndLeaving) {
  enum class Do { Nothing, OpenFirst, OpenSecond, CloseFirst, CloseSecond, Refuse, Accept };
  struct Step {
    Do action;
    int requests, closes;
    bool connected;
  } steps[] = {
      {Do::Nothing, 0, 0, false},
      {Do::OpenFirst, 1, 0, true},
      {Do::OpenSecond, 1, 0, true},    // one more holder is the same client
      {Do::CloseFirst, 1, 0, true},    // the other still holds it open
      {Do::CloseSecond, 1, 1, false},  // the last close
      {Do::OpenFirst, 2, 1, true},     // a client again
      {Do::CloseFirst, 2, 2, false},
      {Do::Refuse, 2, 2, false},
      {Do::OpenFirst, 3, 2, false},  // refused, and not offered again while it holds on
      {Do::Accept, 3, 2, false},
      {Do::CloseFirst, 3, 2, false},
      {Do::OpenSecond, 4, 2, true},  // once it has gone, the next one is offered
      {Do::CloseSecond, 4, 3, false},
  };
  ServerEvents events;
  auto line = Line(ClientLine::Kind::Pty, link_, events);
  ASSERT_TRUE(line->Listen(0));
  FarEnd first;
  FarEnd second;
  int index = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE("step " + std::to_string(index++));
    switch (step.action) {
      case Do::Nothing:
        break;
      case Do::OpenFirst:
        ASSERT_TRUE(first.Open(link_));
        break;
      case Do::OpenSecond:
        ASSERT_TRUE(second.Open(link_));
        break;
      case Do::CloseFirst:
        first.Close();
        break;
      case Do::CloseSecond:
        second.Close();
        break;
      case Do::Refuse:
        events.onRequest = [](ListenSocket& socket) { socket.Reject(); };
        break;
      case Do::Accept:
        events.onRequest = [](ListenSocket& socket) { socket.Accept(); };
        break;
    }
    const bool change = events.requests != step.requests || events.closes != step.closes;
    RunUntil([&] { return events.requests >= step.requests && events.closes >= step.closes; });
    // Nothing should happen: give it time to go wrong.
    if (!change) RunFor(kLooks);
    EXPECT_EQ(events.requests, step.requests);
    EXPECT_EQ(events.closes, step.closes);
    EXPECT_EQ(line->ClientConnected(), step.connected);
  }
  EXPECT_TRUE(events.errors.empty()) << events.errors.front();
}

TEST_F(LineClientTest, EveryByteValuePassesUnchangedBothWays) {
  // Every value, then the ones a terminal line is most likely to eat or
  // change: framing bytes, XON/XOFF, CR/LF, NUL, DEL, interrupt characters.
  std::string special = "\xC0\xDB\xC0\xDB\xDC\xDD\x11\x13\r\n\r\0\x7F\x03\x1A\x04\x1C\xFF"s;
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  struct Case {
    const char* name;
    ClientLine::Kind kind;
    std::string bytes;
    std::size_t chunk;  // the far end writes this much at a time
  } cases[] = {
      {"pty, whole", ClientLine::Kind::Pty, all + special + Pattern(3000, 7), 1 << 20},
      {"pty, byte by byte", ClientLine::Kind::Pty, all + special, 1},
      {"serial, whole", ClientLine::Kind::Serial, all + special + Pattern(3000, 9), 1 << 20},
      {"serial, byte by byte", ClientLine::Kind::Serial, special + all, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ServerEvents events;
    std::unique_ptr<Cable> cable;
    FarEnd holder;
    FarEnd* far = &holder;
    std::string path = link_;
    if (c.kind == ClientLine::Kind::Serial) {
      cable = NewCable();
      ASSERT_TRUE(cable);
      far = &cable->far;
      path = cable->device;
    }
    auto line = Line(c.kind, path, events);
    ASSERT_TRUE(line->Listen(0)) << line->Place();
    if (c.kind == ClientLine::Kind::Pty) {
      ASSERT_TRUE(holder.Open(link_));
      // The client's own settings, as a serial-port program makes them.
      termios settings = holder.Settings();
      ::cfmakeraw(&settings);
      ::cfsetspeed(&settings, B9600);
      ASSERT_EQ(::tcsetattr(holder.Fd(), TCSANOW, &settings), 0);
    }
    ASSERT_TRUE(RunUntil([&] { return line->ClientConnected(); }));

    for (std::size_t at = 0; at < c.bytes.size(); at += c.chunk) far->Write(std::string_view(c.bytes).substr(at, c.chunk));
    ASSERT_TRUE(RunUntil([&] { return events.received.size() >= c.bytes.size(); }));
    EXPECT_EQ(Compare(events.received, c.bytes), "same");

    for (std::size_t at = 0; at < c.bytes.size(); at += c.chunk) line->Write(std::string_view(c.bytes).substr(at, c.chunk));
    ASSERT_TRUE(FarReceives(*far, c.bytes.size()));
    RunFor(std::chrono::milliseconds(50));
    far->ReadWaiting();
    EXPECT_EQ(Compare(far->received, c.bytes), "same");
    EXPECT_TRUE(events.errors.empty());
  }
}

TEST_F(LineClientTest, TheNextClientFindsNeitherOldBytesNorOldSettings) {
  ServerEvents events;
  auto line = Line(ClientLine::Kind::Pty, link_, events);
  ASSERT_TRUE(line->Listen(0));

  // A client leaves with bytes for it unread.
  FarEnd first;
  ASSERT_TRUE(first.Open(link_));
  ASSERT_TRUE(RunUntil([&] { return line->ClientConnected(); }));
  line->Write("for the first client only");
  RunFor(std::chrono::milliseconds(50));
  first.Close();
  ASSERT_TRUE(RunUntil([&] { return events.closes == 1; }));

  // Another sets the line up for lines of text with echo, and leaves.
  FarEnd second;
  ASSERT_TRUE(second.Open(link_));
  ASSERT_TRUE(RunUntil([&] { return line->ClientConnected(); }));
  termios cooked = second.Settings();
  cooked.c_lflag |= ICANON | ECHO;
  cooked.c_iflag |= ICRNL | IXON;
  ASSERT_EQ(::tcsetattr(second.Fd(), TCSANOW, &cooked), 0);
  second.Close();
  ASSERT_TRUE(RunUntil([&] { return events.closes == 2; }));

  // Another comes and goes between two looks, leaving bytes behind.
  FarEnd ghost;
  ASSERT_TRUE(ghost.Open(link_));
  ghost.Write("from a client never seen");
  ghost.Close();
  RunFor(kLooks);

  FarEnd next;
  ASSERT_TRUE(next.Open(link_));
  ASSERT_TRUE(RunUntil([&] { return line->ClientConnected(); }));
  const termios settings = next.Settings();
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(settings.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
  next.Write("\r");
  ASSERT_TRUE(RunUntil([&] { return !events.received.empty(); }));
  RunFor(kLooks);
  EXPECT_EQ(events.received, "\r");
  EXPECT_EQ(next.ReadWaiting(), "");
}

TEST_F(LineClientTest, AClientThatStopsReadingIsDroppedAndNotTakenBackWhileItHoldsOn) {
  struct Case {
    ClientLine::Kind kind;
    int requestsAfterDrop;  // the pty's client still holds the slave; the serial line is opened again
  } cases[] = {{ClientLine::Kind::Pty, 1}, {ClientLine::Kind::Serial, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind == ClientLine::Kind::Pty ? "pty" : "serial");
    std::unique_ptr<Cable> cable;
    FarEnd holder;
    std::string path = link_;
    if (c.kind == ClientLine::Kind::Serial) {
      cable = NewCable();
      ASSERT_TRUE(cable);
      path = cable->device;
    }
    ServerEvents events;
    auto line = Line(c.kind, path, events);
    line->SetWriteLimit(8192);
    line->SetReopenDelay(std::chrono::milliseconds(100));
    ASSERT_TRUE(line->Listen(0));
    if (c.kind == ClientLine::Kind::Pty) {
      ASSERT_TRUE(holder.Open(link_));
    }
    ASSERT_TRUE(RunUntil([&] { return line->ClientConnected(); }));
    // Far more than the line holds, and nobody reads.
    const std::string block = Pattern(1024, 3);
    for (int i = 0; i < 256 && line->ClientConnected(); ++i) {
      line->Write(block);
      RunFor(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(RunUntil([&] { return events.closes == 1; }));
    EXPECT_EQ(events.errors, std::vector<std::string>{"send queue full"});
    RunFor(kLooks);
    EXPECT_EQ(events.requests, c.requestsAfterDrop);
    EXPECT_EQ(line->ClientConnected(), c.requestsAfterDrop == 2);
  }
}

TEST_F(LineClientTest, ASerialLineArrivesWhenOpenedAndComesBackAfterAFailure) {
  // The device is reached through a link, so that it can be swapped for
  // another as an unplugged adapter is plugged in again.
  auto cable = NewCable();
  ASSERT_TRUE(cable);
  fs::create_symlink(cable->device, link_);
  ServerEvents events;
  auto line = Line(ClientLine::Kind::Serial, link_, events);
  line->SetReopenDelay(std::chrono::milliseconds(100));
  ASSERT_TRUE(line->Listen(0)) << line->Place();
  EXPECT_EQ(line->Place(), "serial line " + link_ + " at 19200 baud 8N1, no flow control, no TCP listener");
  ASSERT_TRUE(RunUntil([&] { return line->ClientConnected(); }));
  EXPECT_EQ(events.requests, 1);

  cable->far.Close();  // unplugged
  ASSERT_TRUE(RunUntil([&] { return events.closes == 1; }));
  ASSERT_EQ(events.errors.size(), 1u);
  EXPECT_NE(events.errors[0].find(" on the serial line; opening it again every 100 ms"), std::string::npos)
      << events.errors[0];
  RunFor(kLooks);
  EXPECT_EQ(events.requests, 1) << "offered while the device is gone";

  auto again = NewCable();
  ASSERT_TRUE(again);
  fs::remove(link_);
  fs::create_symlink(again->device, link_);
  ASSERT_TRUE(RunUntil([&] { return line->ClientConnected(); }));
  EXPECT_EQ(events.requests, 2);
  again->far.Write("back");
  line->Write("welcome");
  ASSERT_TRUE(RunUntil([&] { return events.received.size() >= 4; }));
  ASSERT_TRUE(FarReceives(again->far, 7));
  EXPECT_EQ(events.received, "back");
  EXPECT_EQ(again->far.received, "welcome");
}

TEST_F(LineClientTest, ASerialDeviceThatCannotBeUsedEndsTheStart) {
  struct Case {
    std::string device;
    std::string reason;
  } cases[] = {
      {"/nonexistent/ttyS9", "No such file or directory"},
      {"/dev/null", "Inappropriate ioctl for device"},  // not a terminal line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    ServerEvents events;
    auto line = Line(ClientLine::Kind::Serial, c.device, events);
    EXPECT_FALSE(line->Listen(0));
    EXPECT_EQ(line->Place(), "serial line " + c.device + " at 19200 baud 8N1, no flow control: " + c.reason);
    RunFor(std::chrono::milliseconds(50));
    EXPECT_EQ(events.requests, 0);
  }
}

}  // namespace
}  // namespace tw::testing
