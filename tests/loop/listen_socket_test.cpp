#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>

#include "platform/loop/asio_listen_socket.h"
#include "tests/loop/loopback_fixture.h"

namespace tw::testing {
namespace {

using asio::ip::tcp;

class ListenSocketTest : public LoopbackTest {
 protected:
  std::unique_ptr<ClientSocket> Client(ClientEvents& events, std::uint16_t port) {
    auto client = loop.NewClientSocket();
    client->SetHandlers(events.Handlers());
    client->Connect("127.0.0.1", port);
    return client;
  }
};

TEST_F(ListenSocketTest, ServesOneClientAndRefusesOthersMeanwhile) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents first;
  auto client = Client(first, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected() && first.connected == 1; }));
  EXPECT_FALSE(server->Listening());

  ClientEvents second;
  auto intruder = Client(second, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return !second.errors.empty(); }));
  EXPECT_EQ(second.connected, 0);
  EXPECT_EQ(serverEvents.requests, 1);

  client->Write("still served");
  ASSERT_TRUE(RunUntil([&] { return serverEvents.received.size() >= 12; }));
  EXPECT_EQ(serverEvents.received, "still served");
}

TEST_F(ListenSocketTest, ListensAgainOnTheSamePortAfterTheClientLeaves) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  const auto port = server->LocalPort();
  // What the bridge does when its client leaves; both calls must be harmless.
  serverEvents.onClose = [&](ListenSocket& socket) {
    socket.CloseClient();
    EXPECT_TRUE(socket.Listen(port));
  };

  ClientEvents first;
  auto client = Client(first, port);
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected(); }));
  const std::string firstAddress = server->ClientAddress();
  EXPECT_EQ(firstAddress.rfind("127.0.0.1:", 0), 0u) << firstAddress;
  EXPECT_NE(firstAddress, "127.0.0.1:" + std::to_string(port)) << "the client's port, not ours";
  client->Close();
  ASSERT_TRUE(RunUntil([&] { return serverEvents.closes == 1; }));
  EXPECT_FALSE(server->ClientConnected());
  EXPECT_EQ(server->ClientAddress(), "");
  EXPECT_TRUE(server->Listening());
  EXPECT_EQ(server->LocalPort(), port);

  ClientEvents second;
  auto next = Client(second, port);
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected() && second.connected == 1; }));
  EXPECT_EQ(server->ClientAddress().rfind("127.0.0.1:", 0), 0u);
  EXPECT_NE(server->ClientAddress(), firstAddress) << "each client from its own port";
  next->Write("second client");
  server->Write("welcome back");
  ASSERT_TRUE(RunUntil([&] {
    return serverEvents.received.size() >= 13 && second.received.size() >= 12;
  }));
  EXPECT_EQ(serverEvents.received, "second client");
  EXPECT_EQ(second.received, "welcome back");
  EXPECT_EQ(serverEvents.requests, 2);
  EXPECT_EQ(serverEvents.closes, 1);
  EXPECT_TRUE(serverEvents.errors.empty());
}

TEST_F(ListenSocketTest, RejectedRequestIsClosedAndListeningGoesOn) {
  ServerEvents serverEvents;
  serverEvents.onRequest = [&](ListenSocket& socket) {
    if (serverEvents.requests == 1) {
      socket.Reject();
    } else {
      socket.Accept();
    }
  };
  auto server = Server(serverEvents);

  ClientEvents refused;
  auto first = Client(refused, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return refused.disconnected + static_cast<int>(refused.errors.size()) > 0; }));
  EXPECT_FALSE(first->Active());
  EXPECT_FALSE(server->ClientConnected());
  EXPECT_TRUE(server->Listening());

  ClientEvents taken;
  auto second = Client(taken, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected() && taken.connected == 1; }));
  EXPECT_EQ(serverEvents.requests, 2);
  EXPECT_EQ(serverEvents.closes, 0);
}

TEST_F(ListenSocketTest, ARefusedNewcomerIsToldWhyAndEachPeerIsNamed) {
  ServerEvents serverEvents;
  std::string served;
  std::string newcomer;
  serverEvents.onRequest = [&](ListenSocket& socket) {
    if (serverEvents.requests == 1) {
      EXPECT_TRUE(socket.RequestAddress().starts_with("127.0.0.1:"));
      socket.Accept();
      served = socket.ClientAddress();
      EXPECT_EQ(socket.RequestAddress(), "") << "taken, no longer pending";
    } else {
      newcomer = socket.RequestAddress();
      socket.RejectWith("one at a time\r\n");
    }
  };
  auto server = Server(serverEvents);
  server->SetKeepListening(true);
  EXPECT_EQ(server->RequestAddress(), "");
  ClientEvents first;
  auto client = Client(first, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected() && first.connected == 1; }));
  ClientEvents second;
  auto refused = Client(second, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return second.disconnected + static_cast<int>(second.errors.size()) > 0; }));
  EXPECT_EQ(second.received, "one at a time\r\n");
  EXPECT_TRUE(served.starts_with("127.0.0.1:")) << served;
  EXPECT_TRUE(newcomer.starts_with("127.0.0.1:")) << newcomer;
  EXPECT_NE(served, newcomer);
  EXPECT_EQ(server->RequestAddress(), "");
  EXPECT_EQ(server->ClientAddress(), served);
  EXPECT_TRUE(server->ClientConnected());
}

TEST_F(ListenSocketTest, APortTakenSaysSo) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  EXPECT_EQ(server->ListenError(), "");
  ServerEvents otherEvents;
  AsioListenSocket other(loop.Context());
  other.SetLocalAddress("127.0.0.1");
  other.SetHandlers(otherEvents.Handlers(other));
  EXPECT_FALSE(other.Listen(server->LocalPort()));
  EXPECT_EQ(other.ListenError(), "Address already in use");
}

TEST_F(ListenSocketTest, RequestMayBeAcceptedAfterItsHandlerReturned) {
  ServerEvents serverEvents;
  serverEvents.onRequest = [&](ListenSocket& socket) { loop.Post([&socket] { socket.Accept(); }); };
  auto server = Server(serverEvents);
  ClientEvents events;
  auto client = Client(events, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected(); }));
  client->Write("late but taken");
  ASSERT_TRUE(RunUntil([&] { return serverEvents.received.size() >= 14; }));
  EXPECT_EQ(serverEvents.received, "late but taken");
}

TEST_F(ListenSocketTest, CloseClientDeliversTheQueueDropsTheClientAndListensAgain) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents events;
  auto client = Client(events, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected(); }));

  const std::string farewell = Pattern(1u << 20, 9);
  server->Write(farewell);
  server->CloseClient();
  EXPECT_FALSE(server->ClientConnected());
  EXPECT_TRUE(server->Listening());
  server->Write("too late");

  ASSERT_TRUE(RunUntil([&] { return events.disconnected == 1; }));
  EXPECT_EQ(Compare(events.received, farewell), "same");
  EXPECT_EQ(serverEvents.closes, 0);  // the owner dropped it; nobody left

  ClientEvents again;
  auto next = Client(again, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected() && again.connected == 1; }));
}

TEST_F(ListenSocketTest, ClientResetReportsTheErrorThenCloseAndListensAgain) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  {
    tcp::socket raw(loop.Context());
    raw.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), server->LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return server->ClientConnected(); }));
    asio::write(raw, asio::buffer(std::string("partial")));
    ASSERT_TRUE(RunUntil([&] { return serverEvents.received.size() >= 7; }));
    // Lingering for zero seconds makes close send a reset instead of a FIN.
    raw.set_option(tcp::socket::linger(true, 0));
    raw.close();
  }
  ASSERT_TRUE(RunUntil([&] { return serverEvents.closes == 1; }));
  EXPECT_EQ(serverEvents.errors.size(), 1u);
  EXPECT_FALSE(server->ClientConnected());
  EXPECT_TRUE(server->Listening());

  ClientEvents events;
  auto client = Client(events, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected() && events.connected == 1; }));
}

TEST_F(ListenSocketTest, CloseStopsListeningAndDropsTheClientWithoutNotifications) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  const auto port = server->LocalPort();
  ClientEvents events;
  auto client = Client(events, port);
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected() && events.connected == 1; }));

  server->Close();
  EXPECT_FALSE(server->ClientConnected());
  EXPECT_FALSE(server->Listening());
  ASSERT_TRUE(RunUntil([&] { return events.disconnected == 1; }));
  server->CloseClient();  // does not bring a closed socket back
  EXPECT_FALSE(server->Listening());

  ClientEvents late;
  auto refused = Client(late, port);
  ASSERT_TRUE(RunUntil([&] { return !late.errors.empty(); }));
  RunQuietSpell();
  EXPECT_EQ(serverEvents.requests, 1);
  EXPECT_EQ(serverEvents.closes, 0);
  EXPECT_TRUE(serverEvents.errors.empty());
}

TEST_F(ListenSocketTest, KeepListeningLetsTheOwnerRefuseNewcomersWhileServing) {
  ServerEvents serverEvents;
  bool servingWhenAsked = false;
  serverEvents.onRequest = [&](ListenSocket& socket) {
    servingWhenAsked = socket.ClientConnected();
    socket.Accept();  // refused while a client is served
  };
  AsioListenSocket server(loop.Context());
  server.SetLocalAddress("127.0.0.1");
  server.SetKeepListening(true);
  server.SetHandlers(serverEvents.Handlers(server));
  ASSERT_TRUE(server.Listen(0));
  const auto port = server.LocalPort();

  ClientEvents first;
  auto client = Client(first, port);
  ASSERT_TRUE(RunUntil([&] { return server.ClientConnected() && first.connected == 1; }));
  EXPECT_TRUE(server.Listening());

  ClientEvents second;
  auto intruder = Client(second, port);
  ASSERT_TRUE(RunUntil([&] {
    return serverEvents.requests == 2 && (second.disconnected > 0 || !second.errors.empty());
  }));
  EXPECT_TRUE(servingWhenAsked);
  client->Write("first");
  ASSERT_TRUE(RunUntil([&] { return serverEvents.received.size() >= 5; }));
  EXPECT_EQ(serverEvents.received, "first");

  client->Close();
  ASSERT_TRUE(RunUntil([&] { return serverEvents.closes == 1; }));
  EXPECT_TRUE(server.Listening());
  ClientEvents third;
  auto next = Client(third, port);
  ASSERT_TRUE(RunUntil([&] { return server.ClientConnected() && third.connected == 1; }));
  EXPECT_FALSE(servingWhenAsked);
  EXPECT_TRUE(serverEvents.errors.empty());
}

TEST_F(ListenSocketTest, KeepAliveIsSetOnTheClientConnectionWhenAsked) {
  for (bool on : {false, true}) {
    ServerEvents serverEvents;
    auto server = Server(serverEvents);
    server->SetKeepAlive(on);
    ClientEvents events;
    auto client = Client(events, server->LocalPort());
    ASSERT_TRUE(RunUntil([&] { return server->ClientConnected(); }));
    EXPECT_EQ(server->ClientKeepAlive(), on);
  }
}

TEST_F(ListenSocketTest, ListenFailsOnAPortThatIsTaken) {
  ServerEvents serverEvents;
  auto holder = Server(serverEvents);
  AsioListenSocket second(loop.Context());
  second.SetLocalAddress("127.0.0.1");
  EXPECT_FALSE(second.Listen(holder->LocalPort()));
  EXPECT_FALSE(second.Listening());
  second.SetLocalAddress("not an address");
  EXPECT_FALSE(second.Listen(0));
}

TEST_F(ListenSocketTest, ListensOnEveryAddressByDefault) {
  auto server = loop.NewListenSocket();
  ServerEvents serverEvents;
  server->SetHandlers(serverEvents.Handlers(*server));
  ASSERT_TRUE(server->Listen(0));
  ClientEvents events;
  auto client = Client(events, server->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return server->ClientConnected() && events.connected == 1; }));
}

TEST_F(ListenSocketTest, DestroyingItWithWorkUnderWayIsSafe) {
  ServerEvents serverEvents;
  auto idle = Server(serverEvents);
  idle.reset();  // an accept is outstanding

  ServerEvents busyEvents;
  auto busy = Server(busyEvents);
  ClientEvents events;
  auto client = Client(events, busy->LocalPort());
  ASSERT_TRUE(RunUntil([&] { return busy->ClientConnected(); }));
  const std::string queued = Pattern(2u << 20, 10);
  busy->Write(queued);
  busy.reset();
  ASSERT_TRUE(RunUntil([&] { return events.disconnected == 1; }));
  EXPECT_EQ(Compare(events.received, queued), "same");
  EXPECT_EQ(busyEvents.closes, 0);
}

}  // namespace
}  // namespace tw::testing
