#include "tests/integration/engine_fixture.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <charconv>
#include <iostream>
#include <string_view>

namespace tw::integration {

namespace {

constexpr std::size_t kMaxTrace = 256 * 1024;

// The number that follows `key` in `line`, searched from `from` on.
template <class Number>
bool NumberAfter(std::string_view line, std::string_view key, std::size_t from, Number& value) {
  std::size_t at = line.find(key, from);
  if (at == std::string_view::npos) return false;
  const char* begin = line.data() + at + key.size();
  return std::from_chars(begin, line.data() + line.size(), value).ec == std::errc{};
}

// "{LBE} Client(3) Kind[D] Port(1) From(A) To(B) Len(255)": one frame the
// engine received. Its other lines are of no interest here.
bool ParseEngineLine(std::string_view line, EngineSaw& saw) {
  std::size_t kind = line.find(") Kind[");
  if (kind == std::string_view::npos || kind + 7 >= line.size()) return false;
  saw.kind = line[kind + 7];
  std::size_t lenAt = line.rfind("Len(");
  return NumberAfter(line, "{LBE} Client(", 0, saw.client) &&
         NumberAfter(line, "Port(", kind, saw.port) && lenAt != std::string_view::npos &&
         NumberAfter(line, "Len(", lenAt, saw.length);
}

}  // namespace

EngineRun::EngineRun(asio::io_context& io, loopback::EngineConfig config)
    : engine(config), server(io, engine, 0) {
  // Level 3 names every frame the engine takes in.
  engine.Log().SetOn(true);
  engine.Log().SetLevel(3);
  engine.Log().SetSink([this](const std::string& line) {
    EngineSaw frame;
    if (ParseEngineLine(line, frame)) saw.push_back(frame);
    if (trace.size() < kMaxTrace) trace += line + "\n";
  });
}

std::string EngineRun::KindsFrom(loopback::ClientId client) const {
  std::string kinds;
  for (const EngineSaw& frame : saw) {
    if (frame.client == client) kinds += frame.kind;
  }
  return kinds;
}

std::vector<std::size_t> EngineRun::LengthsFrom(loopback::ClientId client, char kind) const {
  std::vector<std::size_t> lengths;
  for (const EngineSaw& frame : saw) {
    if (frame.client == client && frame.kind == kind) lengths.push_back(frame.length);
  }
  return lengths;
}

EngineTest::EngineTest(loopback::EngineConfig config) : config_(config) {
  runs_.push_back(std::make_unique<EngineRun>(loop.Context(), config_));
}

EngineTest::~EngineTest() {
  links_.clear();
  for (auto& run : runs_) run->server.Stop();
  // Lets the closing connections finish their handlers while all is alive.
  loop.RunFor(50ms);
}

void EngineTest::TearDown() {
  if (!HasFailure()) return;
  for (const auto& link : links_) {
    std::cerr << "--- trace of " << link->link.CallSign() << "\n" << link->trace;
  }
  for (const auto& run : runs_) std::cerr << "--- engine trace\n" << run->trace;
}

RecordingLink& EngineTest::NewLink(const std::string& call) {
  links_.push_back(std::make_unique<RecordingLink>(loop, Engine().server.Port(), call));
  return *links_.back();
}

void EngineTest::Start(RecordingLink& link) {
  link.link.SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return link.Settled(); })) << link.link.CallSign() << " did not settle";
}

void EngineTest::Sync(RecordingLink& link) {
  std::size_t before = link.startup.versions.size();
  ASSERT_TRUE(link.link.Write(0, 0, 'R', "", "", ""));
  ASSERT_TRUE(RunUntil([&] { return link.startup.versions.size() > before; }));
}

void EngineTest::ReplaceEngine() {
  Engine().server.Stop();
  runs_.push_back(std::make_unique<EngineRun>(loop.Context(), config_));
}

std::uint16_t RefusingPort(asio::io_context& io) {
  asio::ip::tcp::acceptor probe(io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
  const std::uint16_t port = probe.local_endpoint().port();
  probe.close();
  return port;
}

std::string Payload(std::size_t size, unsigned seed) {
  std::string data = {'\x00', '\xC0', '\xDB', '\xFF'};
  for (std::size_t i = 0; data.size() < size; ++i) {
    data += static_cast<char>((i * 37 + seed) & 0xFF);
  }
  data.resize(size);
  return data;
}

}  // namespace tw::integration
