// The status page's server over loopback TCP, on a port the system picks.
#include <gtest/gtest.h>

#include <httplib.h>

#include "bridge/status/status_server.h"

namespace tw {
namespace {

SnapshotPtr WithCall(const std::string& call) {
  auto s = std::make_shared<StatusSnapshot>();
  s->myCall = call;
  s->streams[0] = {StreamState::Connected, "ECHO", "", 1, 5, 5, 0};
  return s;
}

class StatusServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    board.Publish(WithCall("N0CALL"));
    ASSERT_EQ(server.Start("127.0.0.1", 0), "");
    ASSERT_NE(server.Port(), 0);
  }

  StatusBoard board;
  StatusServer server{board, "0.1.0"};
};

TEST_F(StatusServerTest, ServesThePageAndTheJsonOfTheLatestSnapshot) {
  httplib::Client client("127.0.0.1", server.Port());
  const struct {
    const char* path;
    const char* type;
    const char* holds;
  } pages[] = {
      {"/", "text/html; charset=utf-8", "<td>ECHO</td>"},
      {"/status.json", "application/json", "\"mycall\": \"N0CALL\""},
  };
  for (const auto& p : pages) {
    const httplib::Result result = client.Get(p.path);
    ASSERT_TRUE(result) << p.path;
    EXPECT_EQ(result->status, 200) << p.path;
    EXPECT_EQ(result->get_header_value("Content-Type"), p.type);
    EXPECT_EQ(result->get_header_value("Cache-Control"), "no-store");
    EXPECT_NE(result->body.find(p.holds), std::string::npos) << result->body;
  }
  board.Publish(WithCall("N0NEW"));
  const httplib::Result again = client.Get("/status.json");
  ASSERT_TRUE(again);
  EXPECT_NE(again->body.find("\"mycall\": \"N0NEW\""), std::string::npos) << "the newest snapshot is served";
}

TEST_F(StatusServerTest, ReadOnlyNothingButTheTwoPages) {
  httplib::Client client("127.0.0.1", server.Port());
  const httplib::Result post = client.Post("/", "x", "text/plain");
  ASSERT_TRUE(post);
  EXPECT_GE(post->status, 400);
  const httplib::Result other = client.Get("/../etc/passwd");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 404);
  const httplib::Result big = client.Post("/status.json", std::string(100000, 'x'), "text/plain");
  ASSERT_TRUE(big);
  EXPECT_GE(big->status, 400);
}

// The library's default would share the port with a second program and
// split the requests between the two.
TEST_F(StatusServerTest, APortInUseIsRefusedNotShared) {
  StatusBoard otherBoard;
  StatusServer second(otherBoard, "0.1.0");
  EXPECT_EQ(second.Start("127.0.0.1", server.Port()), "Address already in use");
  second.Stop();
  StatusServer nowhere(otherBoard, "0.1.0");
  EXPECT_NE(nowhere.Start("192.0.2.1", 0), "") << "not an address of this machine";
}

TEST_F(StatusServerTest, StopEndsServingAndASecondStopDoesNothing) {
  const std::uint16_t port = server.Port();
  server.Stop();
  server.Stop();
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(2);
  EXPECT_FALSE(client.Get("/")) << "still answering after Stop";
  // Stopped at once after starting: the thread is not left running.
  StatusServer quick(board, "0.1.0");
  ASSERT_EQ(quick.Start("127.0.0.1", 0), "");
  quick.Stop();
}

}  // namespace
}  // namespace tw
