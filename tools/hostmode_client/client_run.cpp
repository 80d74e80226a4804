#include "tools/hostmode_client/client_run.h"

#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <fstream>
#include <iterator>

#include "platform/text/text.h"
#include "tools/hostmode_client/block_format.h"
#include "tools/hostmode_client/client_command.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::hostmode {

namespace {

using Kind = ClientAction::Kind;

constexpr std::size_t kMaxFile = 16u << 20;
constexpr std::chrono::hours kIdleWait{1};
// Before closing, what the bridge still sends is read until it has been
// quiet this long (at most kLastAnswersAtMost): closing with unread bytes
// would reset the connection, and the bridge would log an error for a
// client that simply left.
constexpr std::chrono::milliseconds kQuietBeforeClose{200};
constexpr std::chrono::milliseconds kLastAnswersAtMost{2000};

// The whole file, or nothing with `error` set.
std::optional<Bytes> ReadFile(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = Cat("cannot open ", path);
    return std::nullopt;
  }
  Bytes bytes;
  char buffer[65536];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    bytes.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (bytes.size() > kMaxFile) {
      error = Cat(path, " is larger than ", kMaxFile, " bytes");
      return std::nullopt;
    }
  }
  if (file.bad()) {
    error = Cat("cannot read ", path);
    return std::nullopt;
  }
  return bytes;
}

class Client {
 public:
  Client(const ClientOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err), stream_(options.stream), session_(SessionOptions()) {
    session_.OnReceived = [this](const Received& item) {
      std::string printed = FormatReceived(item, BlockReader::kDefaultMaxBlock);
      out_ << "< " << printed << std::endl;
      ++received_;
      if (!until_.empty() && printed.find(until_) != std::string::npos) until_.clear();
    };
  }

  int Run(LineQueue& lines) {
    if (options_.line.empty()) {
      out_ << "connecting to " << options_.host << ":" << options_.port << std::endl;
      if (!session_.Connect(options_.host, options_.port, options_.timeout)) return Failed("");
    } else {
      out_ << "opening " << options_.line << std::endl;
      if (!session_.OpenLine(options_.line)) return Failed("");
    }
    if (options_.reset) {
      if (!session_.EnterHostMode(options_.timeout)) {
        return Failed(" (if the bridge is in host mode already, use --no-reset)");
      }
      out_ << "host mode; current stream " << stream_ << std::endl;
    } else {
      out_ << "connected; host mode assumed; current stream " << stream_ << std::endl;
    }

    // A line typed while the connection waits wakes it up.
    lines.SetWake([&io = session_.Context()] { asio::post(io, [] {}); });
    bool going = true;
    while (going) {
      std::string line;
      LineQueue::Got got = lines.TryPop(line);
      if (got == LineQueue::Got::End) {
        out_ << "end of commands" << std::endl;
        break;
      }
      if (got == LineQueue::Got::Nothing) {
        session_.Pump(kIdleWait, [&] { return lines.Ready() || !session_.IsOpen(); });
        going = StillOpen();
        continue;
      }
      going = Carry(ParseCommand(line, stream_)) && StillOpen();
    }
    lines.SetWake(nullptr);
    ReadLastAnswers();
    session_.Close();
    return 0;
  }

 private:
  static HostModeSession::Options SessionOptions() {
    HostModeSession::Options options;
    options.keepReceived = false;  // printed as it arrives, never looked at again
    return options;
  }

  int Failed(std::string_view hint) {
    err_ << "tw-hostmode-client: " << session_.Error() << hint << std::endl;
    return 1;
  }

  void ReadLastAnswers() {
    for (std::chrono::milliseconds spent{0}; spent < kLastAnswersAtMost && session_.IsOpen();
         spent += kQuietBeforeClose) {
      const std::size_t before = received_;
      session_.Pump(kQuietBeforeClose, {});
      if (received_ == before) return;
    }
  }

  bool StillOpen() {
    if (session_.IsOpen()) return true;
    out_ << "connection closed: " << session_.Error() << std::endl;
    return false;
  }

  // Carries out one line; false after quit. A send that fails closes the
  // connection, and the caller's check of the connection says why.
  bool Carry(const ClientAction& action) {
    switch (action.kind) {
      case Kind::Nothing:
        return true;
      case Kind::Error:
        err_ << "error: " << action.error << std::endl;
        return true;
      case Kind::Help:
        out_ << CommandHelp() << std::flush;
        return true;
      case Kind::SwitchStream:
        stream_ = action.stream;
        out_ << "current stream " << stream_ << std::endl;
        return true;
      case Kind::Wait:
        Wait(action);
        return true;
      case Kind::Send:
        SendBlock(action.bytes);
        return true;
      case Kind::Quit:
        SendBlock(action.bytes);
        out_ << "closing" << std::endl;
        return false;
      case Kind::Data:
        SendData(action.bytes);
        return true;
      case Kind::SendPattern:
        SendData(PatternBytes(action.count));
        return true;
      case Kind::SendFile: {
        std::string error;
        auto bytes = ReadFile(action.path, error);
        if (!bytes) {
          err_ << "error: " << error << std::endl;
          return true;
        }
        SendData(*bytes);
        return true;
      }
    }
    return true;
  }

  // Prints what arrives for the action's time, or until a printed line
  // holds its text. A text that did not come is reported, not fatal: the
  // script goes on as a user at the keyboard would.
  void Wait(const ClientAction& action) {
    until_ = action.until;
    if (until_.empty()) {
      session_.Pump(action.delay, {});
      return;
    }
    session_.Pump(action.delay, [this] { return until_.empty(); });
    if (!until_.empty()) {
      err_ << "wait: no \"" << until_ << "\" within " << action.delay.count() << " ms" << std::endl;
      until_.clear();
    }
  }

  void SendBlock(const Bytes& wire) {
    // Whole blocks with their FENDs: show what is between them.
    out_ << "> " << FormatBlock(SplitBlock(std::string_view(wire).substr(1, wire.size() - 2))) << std::endl;
    session_.SendRaw(wire);
  }

  void SendData(const Bytes& data) {
    if (data.empty()) return;
    std::size_t perBlock = HostModeSession::Options{}.dataPerBlock;
    std::size_t blocks = (data.size() + perBlock - 1) / perBlock;
    out_ << "> [D1" << stream_ << "] " << data.size() << " bytes in " << blocks << (blocks == 1 ? " block" : " blocks");
    if (data.size() <= 80) out_ << ": " << Printable(data);
    out_ << std::endl;
    session_.SendData(stream_, data);
  }

  const ClientOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  char stream_;
  std::string until_;  // what the running wait looks for; empty once seen
  std::size_t received_ = 0;  // blocks and texts printed so far
  HostModeSession session_;
};

}  // namespace

int RunClient(const ClientOptions& options, LineQueue& lines, std::ostream& out, std::ostream& err) {
  Client client(options, out, err);
  return client.Run(lines);
}

}  // namespace tw::hostmode
