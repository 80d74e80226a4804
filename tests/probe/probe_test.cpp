#include "tools/engine_probe/probe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "control/link/frame_codec.h"
#include "platform/loop/fake_event_loop.h"

namespace tw {
namespace {

using ::testing::HasSubstr;

std::string Le32(unsigned a, unsigned b) {
  std::string s(8, '\0');
  s[0] = static_cast<char>(a & 0xFF);
  s[1] = static_cast<char>(a >> 8);
  s[4] = static_cast<char>(b & 0xFF);
  s[5] = static_cast<char>(b >> 8);
  return s;
}

struct ProbeRig {
  FakeEventLoop loop;
  std::ostringstream out;
  EngineProbe probe;
  std::optional<EngineProbe::Outcome> finished;

  explicit ProbeRig(ProbeOptions options = {}) : probe(loop, std::move(options), out) {
    probe.OnFinished = [this](EngineProbe::Outcome o) { finished = o; };
    probe.Start();
  }
  FakeClientSocket& Socket() { return *loop.clientSockets.at(0); }
  FakeTimer& ProbeTimer() { return *loop.timers.back(); }
};

TEST(EngineProbe, ReportsVersionPortsCapabilitiesAndHeardList) {
  ProbeRig rig;
  rig.Socket().CompleteConnect();
  std::string sent = rig.Socket().TakeWritten();
  ASSERT_GE(sent.size(), 72u);
  EXPECT_EQ(sent[4], 'G');
  EXPECT_EQ(sent[36 + 4], 'R');

  rig.Socket().Receive(EncodeFrame(0, 0, 'R', "", "", Le32(2005, 127)) +
                       EncodeFrame(0, 0, 'G', "", "", "2;Port1 Radio;Port2 Loopback;"));
  std::string caps = {'\x00', '\x01', '\x1E', '\x02', '\x3F', '\x0A', '\x04', '\x01', '\x10', '\x27', '\x00'};
  rig.Socket().Receive(EncodeFrame(1, 0, 'g', "", "", caps) +
                       EncodeFrame(1, 0, 'y', "", "", std::string("\x03\x00\x00\x00", 4)) +
                       EncodeFrame(1, 0, 'H', "N0AAA", "", std::string("N0AAA heard 20:00\0", 18)));
  EXPECT_FALSE(rig.finished);
  rig.ProbeTimer().Fire();

  ASSERT_EQ(rig.finished, EngineProbe::Outcome::Done);
  std::string text = rig.out.str();
  EXPECT_THAT(text, HasSubstr("Engine version 2005.127"));
  EXPECT_THAT(text, HasSubstr("Ports: 2"));
  EXPECT_THAT(text, HasSubstr("Port 1: Port1 Radio\n"));
  EXPECT_THAT(text, HasSubstr("Port 2: Port2 Loopback  [loop-back]"));
  EXPECT_THAT(text, HasSubstr("txdelay 30, txtail 2, persist 63, slottime 10, maxframe 4, channels 1, bytes 10000"));
  EXPECT_THAT(text, HasSubstr("frames outstanding: 3"));
  EXPECT_THAT(text, HasSubstr("N0AAA heard 20:00"));
}

TEST(EngineProbe, RefusedConnectionIsReportedAsUnreachable) {
  ProbeOptions options;
  options.port = 8123;
  ProbeRig rig(options);
  rig.Socket().Fail();
  ASSERT_EQ(rig.finished, EngineProbe::Outcome::Unreachable);
  EXPECT_THAT(rig.out.str(), HasSubstr("ERROR cannot connect to the engine at 127.0.0.1:8123"));
}

TEST(EngineProbe, EngineThatNeverAnswersIsReportedAsSilent) {
  ProbeRig rig;
  rig.Socket().CompleteConnect();
  rig.ProbeTimer().Fire();
  ASSERT_EQ(rig.finished, EngineProbe::Outcome::Silent);
  EXPECT_THAT(rig.out.str(), HasSubstr("accepted the connection but did not answer"));
}

TEST(EngineProbe, RegistersAndMonitorsUntilStopped) {
  ProbeOptions options;
  options.registerCall = "N0CALL-3";
  options.monitor = true;
  options.raw = true;
  ProbeRig rig(options);
  rig.Socket().CompleteConnect();
  std::string sent = rig.Socket().TakeWritten();
  // Registration first (from the up event), then port list, version, raw and monitor switches.
  ASSERT_EQ(sent.size(), 5 * kHeaderSize);
  EXPECT_EQ(sent[4], 'X');
  EXPECT_EQ(sent.substr(8, 8), "N0CALL-3");
  EXPECT_EQ(sent[3 * 36 + 4], 'k');
  EXPECT_EQ(sent[4 * 36 + 4], 'm');

  rig.Socket().Receive(EncodeFrame(0, 0, 'X', "N0CALL-3", "", std::string(1, '\x01')) +
                       EncodeFrame(0, 0, 'R', "", "", Le32(1, 7)));
  rig.ProbeTimer().Fire();
  EXPECT_FALSE(rig.finished) << "monitoring keeps the probe running";

  rig.Socket().Receive(EncodeFrame(1, 0xF0, 'U', "N0AAA", "ID",
                                   std::string(" 1:Fm N0AAA To ID <UI pid=F0 Len=5 >[20:53:37]\rHELLO\r\0", 54)));
  std::string ui = std::string(1, '\0') + "\x92\x88\x40\x40\x40\x40\x60" + "\x9C\x60\x82\x82\x82\x40\x61" +
                   std::string("\x03\xF0Hi", 4);
  rig.Socket().Receive(EncodeFrame(1, 0, 'K', "", "", ui));

  std::string text = rig.out.str();
  EXPECT_THAT(text, HasSubstr("Registration of N0CALL-3: accepted"));
  EXPECT_THAT(text, HasSubstr("monitor[U]  1:Fm N0AAA To ID <UI pid=F0 Len=5 >[20:53:37]"));
  EXPECT_THAT(text, HasSubstr("info: HELLO\\r"));
  EXPECT_THAT(text, HasSubstr("raw port 1: N0AAA > ID <UI N(R)=0 N(S)=0 pid=F0 len=2> Hi"));
}

}  // namespace
}  // namespace tw
