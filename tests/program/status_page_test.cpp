// The status page in a real browser: headless Chromium loads it from
// tidewire during a session to the loopback engine's echo station, and the
// page's document, as the browser built it, shows the session.
#include <gtest/gtest.h>

#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <iostream>
#include <string>
#include <vector>

#include "tests/program/program_rig.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::program_test {
namespace {

using hostmode::HostModeSession;

constexpr Millis kWait{30000};
constexpr const char* kChromium = "/usr/bin/chromium";

class StatusPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kChromium, X_OK) != 0) GTEST_SKIP() << "chromium is not installed (scripts/setup.sh installs it)";
    dir_ = TempDirectory();
    ASSERT_FALSE(dir_.empty());
    std::string error;
    ASSERT_TRUE(engine_.Start(dir_, 0, {"--ports", "2"}, error)) << error;
    ASSERT_TRUE(tidewire_.Start(dir_, "N0CALL,1,true", engine_.port, error, {}, true)) << error;
    ASSERT_TRUE(tidewire_.process.WaitForOutput("MyCall: N0CALL", kWait)) << "never registered";
  }

  void TearDown() override {
    if (HasFailure()) std::cout << "--- tidewire:\n" << tidewire_.process.Output();
    tidewire_.process.Kill();
    engine_.process.Kill();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // The document Chromium built from `path` (its diagnostics go elsewhere).
  std::string BrowserDom(const std::string& path) {
    const std::string url = "http://127.0.0.1:" + std::to_string(tidewire_.statusPort) + path;
    const std::string command = std::string("exec ") + kChromium +
                                " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                                " --disable-background-networking --disable-component-update --disable-sync"
                                " --user-data-dir='" + dir_ + "/chromium' --dump-dom '" + url + "' 2>'" + dir_ +
                                "/chromium.err'";
    ChildProcess browser;
    std::string error;
    if (!browser.Start({"/bin/sh", "-c", command}, dir_ + "/dom.html", error)) {
      ADD_FAILURE() << error;
      return {};
    }
    const std::optional<int> status = browser.WaitForExit(Millis(90000));
    EXPECT_EQ(status, 0) << "chromium did not finish";
    return browser.Output();
  }

  std::string dir_;
  LoopbackEngine engine_;
  Tidewire tidewire_;
};

TEST_F(StatusPageTest, ABrowserShowsStreamAConnectedToEcho) {
  HostModeSession client;
  ASSERT_TRUE(client.Open("127.0.0.1", tidewire_.listenPort, kWait)) << client.Error();
  client.SendCommand('A', "C ECHO");
  ASSERT_TRUE(client.WaitForStatus('A', "*** CONNECTED to ECHO", kWait));
  ASSERT_TRUE(client.SendData('A', "hello\r"));
  ASSERT_TRUE(client.WaitForData('A', 6, kWait));
  // The snapshot follows within a few of the loop's looks at the bridge.
  httplib::Client json("127.0.0.1", tidewire_.statusPort);
  std::string status;
  for (int i = 0; i < 100 && status.find("\"bytes_received\": 6") == std::string::npos; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const httplib::Result got = json.Get("/status.json");
    status = got ? got->body : std::string();
  }
  ASSERT_NE(status.find("\"bytes_received\": 6"), std::string::npos) << status;
  std::cout << "/status.json during the session:\n" << status;

  const std::string dom = BrowserDom("/");
  const std::string row =
      "<tr id=\"stream-A\" class=\"connected\"><td>A</td><td>connected</td><td>ECHO</td><td class=\"n\">1</td>"
      "<td class=\"n\">6</td><td class=\"n\">6</td><td class=\"n\">0</td></tr>";
  const std::size_t at = dom.find(row);
  EXPECT_NE(at, std::string::npos) << dom;
  const char* alsoShown[] = {
      "<tr id=\"stream-B\" class=\"disconnected\">",
      "<p id=\"client\">Client 127.0.0.1:",
      ": host mode</p>",
      "<p id=\"engine\">Engine 127.0.0.1:",
      "accept winsock connection from client",
  };
  for (const char* text : alsoShown) EXPECT_NE(dom.find(text), std::string::npos) << text;
  if (at != std::string::npos) std::cout << "chromium --dump-dom shows: " << row << "\n";
}

// Another program on the status port: tidewire says so and serves its client
// without the page.
TEST(StatusPagePort, APortInUseIsLoggedAndTheBridgeRunsOn) {
  const std::string dir = TempDirectory();
  ASSERT_FALSE(dir.empty());
  std::string error;
  LoopbackEngine engine;
  ASSERT_TRUE(engine.Start(dir, 0, {}, error)) << error;
  Tidewire first;
  ASSERT_TRUE(first.Start(dir, "N0CALL,1,true", engine.port, error, {}, true)) << error;

  setenv("TIDEWIRE_COM_REGISTRY", (dir + "/com-registry").c_str(), 1);
  const std::uint16_t listen = FreePort();
  ChildProcess second;
  ASSERT_TRUE(second.Start({BuildProgram("tidewire"), "--console", "--listen-address", "127.0.0.1", "--status-port",
                            std::to_string(first.statusPort),
                            "N0CALL-2,1,true," + std::to_string(engine.port) + "," + std::to_string(listen)},
                           dir + "/second.log", error))
      << error;
  const std::string expected = "ERROR no status page: cannot listen on 127.0.0.1 port " +
                               std::to_string(first.statusPort) + ": Address already in use";
  EXPECT_TRUE(second.WaitForOutput(expected, kWait)) << second.Output();
  EXPECT_TRUE(second.WaitForOutput("MyCall: N0CALL-2", kWait)) << second.Output();
  HostModeSession client;
  EXPECT_TRUE(client.Open("127.0.0.1", listen, kWait)) << client.Error();
  EXPECT_FALSE(second.WaitForExit(Millis(0)).has_value()) << "the bridge ended";
  second.Kill();
  first.process.Kill();
  engine.process.Kill();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tw::program_test
