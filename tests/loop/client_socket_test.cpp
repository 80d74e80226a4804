#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>

#include "platform/loop/asio_client_socket.h"
#include "tests/loop/loopback_fixture.h"

namespace tw::testing {
namespace {

using asio::ip::tcp;

// A port on 127.0.0.1 that nothing listens on (bound once, then let go).
std::uint16_t RefusingPort(asio::io_context& context) {
  tcp::acceptor probe(context, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  const auto port = probe.local_endpoint().port();
  probe.close();
  return port;
}

class ClientSocketTest : public LoopbackTest {
 protected:
  // Connects a fresh client to `server` and waits until both ends are up.
  std::unique_ptr<ClientSocket> ConnectedClient(ClientEvents& events, AsioListenSocket& server) {
    auto client = loop.NewClientSocket();
    client->SetHandlers(events.Handlers());
    client->Connect("127.0.0.1", server.LocalPort());
    EXPECT_TRUE(RunUntil([&] { return events.connected == 1 && server.ClientConnected(); }));
    return client;
  }
};

TEST_F(ClientSocketTest, CarriesEveryByteValueBothWays) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents clientEvents;
  auto client = ConnectedClient(clientEvents, *server);
  EXPECT_TRUE(client->Active());
  EXPECT_EQ(client->RemoteHost(), "127.0.0.1");
  EXPECT_EQ(client->RemotePort(), server->LocalPort());

  const std::string up = Pattern(1000, 1);
  const std::string down = std::string("\0\xff\xc0 down", 8) + Pattern(777, 2);
  client->Write(up);
  server->Write(down);
  ASSERT_TRUE(RunUntil([&] {
    return serverEvents.received.size() >= up.size() && clientEvents.received.size() >= down.size();
  }));
  EXPECT_EQ(Compare(serverEvents.received, up), "same");
  EXPECT_EQ(Compare(clientEvents.received, down), "same");
  EXPECT_TRUE(clientEvents.errors.empty());
  EXPECT_TRUE(serverEvents.errors.empty());
}

TEST_F(ClientSocketTest, SeveralMegabytesInOneWriteArriveWholeAndInOrderBothWays) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents clientEvents;
  auto client = ConnectedClient(clientEvents, *server);

  const std::string up = Pattern(5u << 20, 3);
  const std::string down = Pattern(3u << 20, 4);
  client->Write(up);
  server->Write(down);
  ASSERT_TRUE(RunUntil([&] {
    return serverEvents.received.size() >= up.size() && clientEvents.received.size() >= down.size();
  }));
  EXPECT_EQ(Compare(serverEvents.received, up), "same");
  EXPECT_EQ(Compare(clientEvents.received, down), "same");
}

TEST_F(ClientSocketTest, ManySmallWritesArriveInOrder) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents clientEvents;
  auto client = ConnectedClient(clientEvents, *server);

  const std::string all = Pattern(400000, 5);
  std::size_t at = 0;
  for (std::size_t n = 1; at < all.size(); n = n % 37 + 1) {
    const std::size_t take = std::min(n, all.size() - at);
    client->Write(std::string_view(all).substr(at, take));
    at += take;
  }
  // Some more while the first ones are under way.
  ASSERT_TRUE(RunUntil([&] { return !serverEvents.received.empty(); }));
  const std::string more = Pattern(5000, 6);
  for (char byte : more) client->Write(std::string_view(&byte, 1));

  const std::string want = all + more;
  ASSERT_TRUE(RunUntil([&] { return serverEvents.received.size() >= want.size(); }));
  EXPECT_EQ(Compare(serverEvents.received, want), "same");
}

TEST_F(ClientSocketTest, WritesMadeWhileConnectingGoOutOnceConnected) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents clientEvents;
  auto client = loop.NewClientSocket();
  client->SetHandlers(clientEvents.Handlers());
  client->Connect("127.0.0.1", server->LocalPort());
  EXPECT_TRUE(client->Active());
  client->Write("first ");
  client->Write("second");
  ASSERT_TRUE(RunUntil([&] { return serverEvents.received.size() >= 12; }));
  EXPECT_EQ(serverEvents.received, "first second");
  EXPECT_EQ(clientEvents.connected, 1);
}

TEST_F(ClientSocketTest, WritesWhileIdleAreDropped) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents clientEvents;
  auto client = loop.NewClientSocket();
  client->SetHandlers(clientEvents.Handlers());
  client->Write("never sent");
  client->Connect("127.0.0.1", server->LocalPort());
  client->Write("sent");
  ASSERT_TRUE(RunUntil([&] { return serverEvents.received.size() >= 4; }));
  RunQuietSpell();
  EXPECT_EQ(serverEvents.received, "sent");
}

TEST_F(ClientSocketTest, RefusedConnectReportsOneErrorAndEndsTheAttempt) {
  ClientEvents events;
  auto client = loop.NewClientSocket();
  client->SetHandlers(events.Handlers());
  client->Connect("127.0.0.1", RefusingPort(loop.Context()));
  EXPECT_TRUE(client->Active());
  ASSERT_TRUE(RunUntil([&] { return !events.errors.empty(); }));
  RunQuietSpell();
  ASSERT_EQ(events.errors.size(), 1u);
  EXPECT_FALSE(events.errors[0].empty());
  EXPECT_EQ(events.connected, 0);
  EXPECT_EQ(events.disconnected, 0);
  EXPECT_FALSE(client->Active());
}

TEST_F(ClientSocketTest, ErrorHandlerMayConnectAgain) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents events;
  auto client = loop.NewClientSocket();
  ClientSocket::Handlers handlers = events.Handlers();
  auto recordError = handlers.error;
  handlers.error = [&, recordError](const std::string& description) {
    recordError(description);
    client->Connect("127.0.0.1", server->LocalPort());
  };
  client->SetHandlers(handlers);
  client->Connect("127.0.0.1", RefusingPort(loop.Context()));
  ASSERT_TRUE(RunUntil([&] { return events.connected == 1; }));
  EXPECT_EQ(events.errors.size(), 1u);
  EXPECT_TRUE(client->Active());
}

TEST_F(ClientSocketTest, PeerCloseReportsDisconnectedOnce) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents events;
  auto client = ConnectedClient(events, *server);
  server->Write("last words");
  server->CloseClient();
  ASSERT_TRUE(RunUntil([&] { return events.disconnected > 0; }));
  EXPECT_EQ(events.received, "last words");
  EXPECT_FALSE(client->Active());
  client->Close();  // nothing left to end
  RunQuietSpell();
  EXPECT_EQ(events.disconnected, 1);
  EXPECT_TRUE(events.errors.empty());
}

TEST_F(ClientSocketTest, CloseReportsDisconnectedOnceAndDeliversTheQueue) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents events;
  auto client = ConnectedClient(events, *server);

  const std::string parting = Pattern(2u << 20, 7);
  client->Write(parting);
  client->Close();
  EXPECT_EQ(events.disconnected, 1);
  EXPECT_FALSE(client->Active());
  client->Close();
  EXPECT_EQ(events.disconnected, 1);

  ASSERT_TRUE(RunUntil([&] { return serverEvents.closes == 1; }));
  EXPECT_EQ(Compare(serverEvents.received, parting), "same");
  RunQuietSpell();
  EXPECT_EQ(events.disconnected, 1);
  EXPECT_EQ(events.Notifications(), 2);  // connected, disconnected
}

TEST_F(ClientSocketTest, CloseDuringConnectIsSilentAndLateCompletionsAreIgnored) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents events;
  auto client = loop.NewClientSocket();
  client->SetHandlers(events.Handlers());

  client->Connect("127.0.0.1", server->LocalPort());
  client->Write("from the abandoned attempt");
  client->Close();
  EXPECT_FALSE(client->Active());
  RunQuietSpell();
  EXPECT_EQ(events.Notifications(), 0);

  // An attempt replaced by a new one is dropped the same way.
  client->Connect("127.0.0.1", RefusingPort(loop.Context()));
  client->Connect("127.0.0.1", server->LocalPort());
  client->Write("kept");
  ASSERT_TRUE(RunUntil([&] { return events.connected == 1 && serverEvents.received.size() >= 4; }));
  RunQuietSpell();
  EXPECT_EQ(serverEvents.received, "kept");
  EXPECT_TRUE(events.errors.empty());
  EXPECT_EQ(events.connected, 1);
}

TEST_F(ClientSocketTest, DisconnectedHandlerMayConnectAgain) {
  ServerEvents firstEvents;
  auto first = Server(firstEvents);
  // Another server: the first takes no one new until it has seen the close.
  ServerEvents secondEvents;
  auto second = Server(secondEvents);
  ClientEvents events;
  auto client = ConnectedClient(events, *first);
  events.onDisconnected = [&] {
    if (events.disconnected == 1) client->Connect("127.0.0.1", second->LocalPort());
  };
  client->Close();
  EXPECT_TRUE(client->Active());
  ASSERT_TRUE(RunUntil([&] { return events.connected == 2 && second->ClientConnected(); }));
  client->Write("again");
  ASSERT_TRUE(RunUntil([&] { return secondEvents.received.size() >= 5 && firstEvents.closes == 1; }));
  EXPECT_EQ(secondEvents.received, "again");
  EXPECT_TRUE(firstEvents.received.empty());
  EXPECT_EQ(events.disconnected, 1);
  EXPECT_TRUE(events.errors.empty());
}

TEST_F(ClientSocketTest, CloseInsideReadHandlerEndsReadingAtOnce) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents events;
  auto client = ConnectedClient(events, *server);
  events.onRead = [&](std::string_view) { client->Close(); };
  server->Write("one");
  ASSERT_TRUE(RunUntil([&] { return events.reads > 0; }));
  server->Write("two");
  ASSERT_TRUE(RunUntil([&] { return serverEvents.closes == 1; }));
  RunQuietSpell();
  EXPECT_EQ(events.reads, 1);
  EXPECT_EQ(events.received, "one");
  EXPECT_EQ(events.disconnected, 1);
  EXPECT_TRUE(events.errors.empty());
}

TEST_F(ClientSocketTest, DestroyingTheSocketWithOperationsUnderWayIsSafe) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents events;

  auto connecting = loop.NewClientSocket();
  connecting->SetHandlers(events.Handlers());
  connecting->Connect("127.0.0.1", server->LocalPort());
  connecting.reset();

  auto client = ConnectedClient(events, *server);
  const std::string queued = Pattern(3u << 20, 8);
  client->Write(queued);
  client.reset();

  // The queue still goes out after its owner is gone.
  ASSERT_TRUE(RunUntil([&] { return serverEvents.closes > 0; }));
  EXPECT_EQ(Compare(serverEvents.received, queued), "same");
  EXPECT_EQ(events.connected, 1);
  EXPECT_EQ(events.disconnected, 0);
}

TEST_F(ClientSocketTest, QueueBeyondItsLimitEndsTheConnectionWithAnError) {
  ServerEvents serverEvents;
  auto server = Server(serverEvents);
  ClientEvents events;
  AsioClientSocket client(loop.Context());
  client.SetWriteLimit(64 * 1024);
  client.SetHandlers(events.Handlers());
  client.Connect("127.0.0.1", server->LocalPort());
  client.Write(Pattern(40 * 1024));
  client.Write(Pattern(40 * 1024));  // not yet connected, so both are queued
  EXPECT_TRUE(events.errors.empty());  // reported from the loop, not from inside Write
  ASSERT_TRUE(RunUntil([&] { return !events.errors.empty(); }));
  EXPECT_EQ(events.errors, std::vector<std::string>{"send queue full"});
  EXPECT_FALSE(client.Active());
  RunQuietSpell();
  EXPECT_EQ(events.connected, 0);
  EXPECT_EQ(events.disconnected, 0);
  EXPECT_TRUE(serverEvents.received.empty());
}

}  // namespace
}  // namespace tw::testing

namespace tw::testing {
namespace {

TEST_F(ClientSocketTest, BytesHandedToTheReadHandlerStayValidWhileItClosesTheSocket) {
  // Closing from inside the read handler must not start a read into the
  // buffer the handler is still looking at, even with more bytes waiting.
  asio::io_context peerContext;
  tcp::acceptor acceptor(peerContext, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  ClientEvents events;
  auto client = loop.NewClientSocket();
  std::string seenAtEntry;
  std::string seenAfterClose;
  tcp::socket peer(peerContext);
  events.onRead = [&](std::string_view bytes) {
    if (!seenAtEntry.empty()) return;
    seenAtEntry = std::string(bytes);
    asio::write(peer, asio::buffer(std::string(100, 'B')));
    // Loopback delivers at once; a little patience makes sure the bytes wait
    // in the client's receive queue before it closes.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    client->Close();
    seenAfterClose = std::string(bytes);
  };
  client->SetHandlers(events.Handlers());
  client->Connect("127.0.0.1", acceptor.local_endpoint().port());
  ASSERT_TRUE(RunUntil([&] { return events.connected == 1; }));
  acceptor.accept(peer);
  asio::write(peer, asio::buffer(std::string(100, 'A')));
  ASSERT_TRUE(RunUntil([&] { return !seenAtEntry.empty(); }));
  EXPECT_EQ(seenAtEntry, std::string(seenAtEntry.size(), 'A'));
  EXPECT_EQ(seenAfterClose, seenAtEntry);
}

}  // namespace
}  // namespace tw::testing
