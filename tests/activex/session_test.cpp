// The control against the loopback engine, as a bridge uses it: start-up in
// the program's order, channels to the echo station, a sink that fails,
// re-entry and releases from handlers, reference counts, the engine going.
#include <numeric>

#include "tests/activex/control_harness.h"

namespace tw::activex::testing {
namespace {

class ControlSessionTest : public ControlTest {
 protected:
  ControlSessionTest() { EXPECT_EQ(Point()->Advise(&sink_, &cookie_), S_OK); }
  EngineProcess engine_;
  DWORD cookie_ = 0;
};

TEST_F(ControlSessionTest, ByProgIdInTheProgramsOwnOrderUntilTheEngineGoes) {
  Result version;
  ASSERT_EQ(Get(Dispatch(), DISPID_VOKAPIX_VOKVersion, version), S_OK);
  EXPECT_EQ(Bytes(version.bstrVal), "0.0");
  Start(engine_.Port());
  Result engineVersion;
  ASSERT_EQ(Get(Dispatch(), DISPID_VOKAPIX_VOKVersion, engineVersion), S_OK);
  EXPECT_EQ(Bytes(engineVersion.bstrVal), "2005.127");

  const LONG first = ConnectEcho();
  EXPECT_GT(first, 0);
  EXPECT_EQ(ConnectEcho(), 0);  // the same station while the first is recorded
  ASSERT_TRUE(WaitFor(DISPID_VOKAPIXEvents_OnAX25Connect, first));
  ASSERT_EQ(control_->put_AX25(VARIANT_FALSE), S_OK);  // drops the link from the table and ends it
  ASSERT_TRUE(RunUntil([&] { return !sink_.Firsts(DISPID_VOKAPIXEvents_OnDisconnect).empty(); }));
  ASSERT_EQ(control_->put_AX25(VARIANT_TRUE), S_OK);
  const LONG second = ConnectEcho(), third = ConnectEcho(2);
  EXPECT_GT(second, first);  // ids are not reused
  EXPECT_GT(third, second);
  ASSERT_TRUE(WaitFor(DISPID_VOKAPIXEvents_OnAX25Connect, second) &&
              WaitFor(DISPID_VOKAPIXEvents_OnAX25Connect, third));

  engine_.Kill();
  ASSERT_TRUE(RunUntil([&] { return sink_.Firsts(DISPID_VOKAPIXEvents_OnReady).back() == VARIANT_FALSE; }));
  EXPECT_EQ(sink_.Firsts(DISPID_VOKAPIXEvents_OnAX25Disconnect), (std::vector<long long>{second, third}));
  for (const Arrived& e : sink_.events) {
    if (e.id == DISPID_VOKAPIXEvents_OnReady) {
      EXPECT_EQ(e.types, std::vector<VARTYPE>{VT_BOOL});
    }
  }
}

TEST_F(ControlSessionTest, EveryByteGoesToTheEchoStationAndComesBack) {
  Start(engine_.Port());
  const LONG id = ConnectEcho();
  ASSERT_TRUE(WaitFor(DISPID_VOKAPIXEvents_OnAX25Connect, id));
  std::string all(256, '\0'), back;
  std::iota(all.begin(), all.end(), '\0');
  sink_.handler = [&](const Arrived& e) {
    if (e.id == DISPID_VOKAPIXEvents_OnAX25Receive) back += e.texts.at(0);
  };
  Result sent;
  ASSERT_EQ(Invoke(Dispatch(), DISPID_VOKAPIX_AX25Send, DISPATCH_METHOD, {Long(id), Text(all)}, &sent), S_OK);
  EXPECT_EQ(sent.vt, VT_BOOL);
  EXPECT_EQ(sent.boolVal, VARIANT_TRUE);
  ASSERT_TRUE(RunUntil([&] { return back.size() >= all.size(); }));
  EXPECT_EQ(back, all);
}

TEST_F(ControlSessionTest, ASinkThatFailsAllButTheBridgesEventsStopsNothing) {
  sink_.failure = E_NOTIMPL;
  ASSERT_EQ(control_->put_Trace(5), S_OK);
  ASSERT_EQ(control_->put_Debug(VARIANT_TRUE), S_OK);  // every trace line is an OnDebug that fails
  Start(engine_.Port());
  const LONG id = ConnectEcho();
  ASSERT_TRUE(WaitFor(DISPID_VOKAPIXEvents_OnAX25Connect, id));
  EXPECT_FALSE(sink_.Firsts(DISPID_VOKAPIXEvents_OnConnect).empty());  // failed before the table's update
  LONG port = 0, status = 0, rx = 0, tx = 0;
  Bstr from, to, via;
  VARIANT_BOOL known = VARIANT_FALSE, asked = VARIANT_FALSE;
  ASSERT_EQ(control_->AX25Info(id, &port, from.Put(), to.Put(), via.Put(), &status, &rx, &tx, &known), S_OK);
  EXPECT_EQ(known, VARIANT_TRUE);
  EXPECT_EQ(status, 4);
  ASSERT_EQ(control_->AX25Disconnect(id, &asked), S_OK);
  ASSERT_TRUE(WaitFor(DISPID_VOKAPIXEvents_OnAX25Disconnect, id));
  ASSERT_EQ(control_->AX25Info(id, &port, from.Put(), to.Put(), via.Put(), &status, &rx, &tx, &known), S_OK);
  EXPECT_EQ(known, VARIANT_FALSE);
}

TEST_F(ControlSessionTest, ReentrantCallsInsideConnectAndDisconnect) {
  ControlLibrary library;
  Start(engine_.Port());
  LONG port = 0, status = 0, rx = 0, tx = 0;
  Bstr from, to, via;
  VARIANT_BOOL known = VARIANT_FALSE, asked = VARIANT_FALSE;
  HRESULT unadvised = E_FAIL;
  sink_.handler = [&](const Arrived& e) {
    const LONG id = static_cast<LONG>(e.numbers.empty() ? 0 : e.numbers[0]);
    if (e.id == DISPID_VOKAPIXEvents_OnAX25Connect) {
      control_->AX25Info(id, &port, from.Put(), to.Put(), via.Put(), &status, &rx, &tx, &known);
      control_->AX25Disconnect(id, &asked);
    } else if (e.id == DISPID_VOKAPIXEvents_OnAX25Disconnect) {
      unadvised = Point()->Unadvise(cookie_);
      control_.Reset();  // the last reference, with the control's code on the stack
    }
  };
  const LONG id = ConnectEcho();
  ASSERT_TRUE(RunUntil([&] { return !control_; }));
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);  // kept until the loop is back
  EXPECT_EQ(sink_.Firsts(DISPID_VOKAPIXEvents_OnAX25Disconnect), std::vector<long long>{id});
  EXPECT_EQ(known & asked, VARIANT_TRUE);
  EXPECT_EQ(Bytes(from.Get()) + ">" + Bytes(to.Get()) + " port " + std::to_string(port) + " status " +
                std::to_string(status),
            "N0CALL>ECHO port 1 status 4");
  EXPECT_EQ(unadvised, S_OK);
  EXPECT_EQ(sink_.references, 1u);
  EXPECT_TRUE(RunUntil([&] { return library.CanUnloadNow() == S_OK; }));  // the control is gone
}

TEST_F(ControlSessionTest, ReferenceCountsComeBackAfterAdviseUnadviseAndSwap) {
  auto references = [&] { return control_->AddRef(), control_->Release(); };
  const ULONG start = references();
  RecordingSink other;
  com::testing::Counted lacksTheEvents;
  DWORD cookie = 0;
  EXPECT_EQ(Point()->Advise(&other, &cookie), CONNECT_E_ADVISELIMIT);
  EXPECT_EQ(Point()->Unadvise(cookie_ + 1), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(sink_.references, 2u);
  EXPECT_EQ(Point()->Unadvise(cookie_), S_OK);
  EXPECT_EQ(sink_.references, 1u);
  EXPECT_EQ(Point()->Advise(&lacksTheEvents, &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(Point()->Advise(&other, &cookie), S_OK);
  EXPECT_EQ(other.references, 2u);
  EXPECT_EQ(Point()->Unadvise(cookie), S_OK);
  EXPECT_EQ(other.references + lacksTheEvents.refs, 2u);
  EXPECT_EQ(references(), start);
}

TEST_F(ControlSessionTest, ReleaseWhileActiveLeavesNothingRunning) {
  ControlLibrary library;
  Start(engine_.Port());
  ASSERT_TRUE(WaitFor(DISPID_VOKAPIXEvents_OnAX25Connect, ConnectEcho()));
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  control_.Reset();
  EXPECT_EQ(sink_.references, 1u);  // released with the control
  const std::size_t seen = sink_.events.size();
  EXPECT_TRUE(RunUntil([&] { return library.CanUnloadNow() == S_OK; }));
  EXPECT_EQ(TwLoopRunFor(300), S_OK);
  EXPECT_EQ(sink_.events.size(), seen);
}

}  // namespace
}  // namespace tw::activex::testing
