// ClientSocket over the raw socket calls: open and its immediate failures, send, receive,
// the notifications and what happens to errors the dialog leaves unhandled.
#include <gtest/gtest.h>

#include <functional>

#include "client/client_socket.h"
#include "client/dialog_error.h"
#include "tests/native/client/fake_platform.h"

namespace tallyhorn::client {
namespace {

struct RecordedEvents : ClientSocketEvents {
    bool handleErrors = true;
    std::vector<std::string> seen;
    std::vector<int> errors;
    void ClientSocketConnect(ClientSocket&) override { seen.push_back("connect"); }
    void ClientSocketRead(ClientSocket& socket) override { seen.push_back("read " + socket.ReceiveText()); }
    void ClientSocketError(ClientSocket&, int& code) override {
        seen.push_back("error");
        errors.push_back(code);
        if (handleErrors) {
            code = 0;
        }
    }
};

class ClientSocketTest : public ::testing::Test {
protected:
    testing::FakeSockets platform;
    RecordedEvents events;
    ClientSocket socket{platform, events};

    void OpenTo(const std::string& address) {
        socket.SetAddress(address);
        socket.SetPort(5052);
        socket.Open();
    }
    void Connect() {
        OpenTo("127.0.0.1");
        socket.Notify(platform.lastSocket, NetworkEvent::Connect, 0);
    }
    static std::string ErrorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const DialogError& error) {
            return error.what();
        }
        return "(none)";
    }
};

TEST_F(ClientSocketTest, OpenConnectsWithoutWaitingAndOnlyWhenIdle) {
    OpenTo("127.0.0.1");
    EXPECT_EQ(socket.state(), ClientSocket::State::Connecting);
    EXPECT_EQ(platform.addresses, std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(platform.ports, std::vector<std::uint16_t>{5052});
    socket.Open();
    EXPECT_EQ(platform.ports.size(), 1u);
    socket.Notify(platform.lastSocket, NetworkEvent::Connect, 0);
    EXPECT_EQ(socket.state(), ClientSocket::State::Connected);
    socket.Open();
    EXPECT_EQ(platform.ports.size(), 1u);
    EXPECT_EQ(events.seen, std::vector<std::string>{"connect"});
}

TEST_F(ClientSocketTest, ImmediateFailuresRaiseTheirTextsAndLeaveNoSocketOpen) {
    platform.createError = 10024;
    EXPECT_EQ(ErrorOf([&] { OpenTo("127.0.0.1"); }), "Can't create new socket");
    EXPECT_EQ(ErrorOf([&] { OpenTo(""); }), "No address specified");  // the address is looked at first
    platform.createError = 0;
    EXPECT_TRUE(platform.addresses.empty());  // no address, no inet_addr
    platform.connectError = 10049;
    EXPECT_EQ(ErrorOf([&] { OpenTo("garbage"); }), "Windows socket error: text of 10049 (10049), on API 'connect'");
    EXPECT_EQ(platform.addresses.back(), "garbage");
    EXPECT_TRUE(platform.openSockets.empty());
    EXPECT_EQ(socket.state(), ClientSocket::State::Idle);
    EXPECT_TRUE(events.seen.empty());
}

// What send does not take at once, a part or nothing when it would block, goes out on the
// writability notifications, in order, until all is taken; a close drops the rest.
TEST_F(ClientSocketTest, SendHandsEveryByteOverInOrderAsTheTransportTakesThem) {
    Connect();
    platform.sendChunk = 3;
    platform.sendRoom = 0;
    socket.SendText("Client Comment1##");  // would block at once
    EXPECT_EQ(platform.AllSent(), "");
    platform.sendRoom = 7;
    socket.Notify(platform.lastSocket, NetworkEvent::Write, 0);  // three sends, to the would-block
    EXPECT_EQ(platform.sent, (std::vector<std::string>{"Cli", "ent", " "}));
    socket.SendText("x##");  // behind what waits, not before it
    platform.sendRoom = -1;
    socket.Notify(platform.lastSocket, NetworkEvent::Write, 0);
    EXPECT_EQ(platform.AllSent(), "Client Comment1##x##");
    socket.Notify(platform.lastSocket, NetworkEvent::Write, 0);  // nothing waits
    EXPECT_EQ(platform.AllSent(), "Client Comment1##x##");

    platform.sendRoom = 0;
    socket.SendText("dropped");
    socket.Close();
    Connect();
    platform.sendRoom = -1;
    socket.Notify(platform.lastSocket, NetworkEvent::Write, 0);
    EXPECT_EQ(platform.AllSent(), "Client Comment1##x##");
    EXPECT_EQ(events.seen, (std::vector<std::string>{"connect", "connect"}));
}

// Receive reads what is waiting in one call, nothing when it would block.
TEST_F(ClientSocketTest, ReceiveReadsWhatIsWaitingInOneCall) {
    Connect();
    EXPECT_EQ(socket.ReceiveText(), "");
    platform.incoming = std::string("a\0b", 3);
    EXPECT_EQ(socket.ReceiveText(), std::string("a\0b", 3));
    platform.incoming = "more";
    platform.receiveError = platform.wouldBlock;
    EXPECT_EQ(socket.ReceiveText(), "");
    EXPECT_TRUE(events.errors.empty());
    EXPECT_EQ(socket.state(), ClientSocket::State::Connected);
}

// A failed send or receive reaches the dialog's handler and closes the connection; one
// that the handler leaves unhandled is raised with the call's name.
TEST_F(ClientSocketTest, AFailedSendOrReceiveIsReportedThenTheConnectionCloses) {
    const struct {
        std::uint32_t testing::FakeSockets::*error;
        const char* api;
        std::function<void()> call;
    } cases[] = {
        {&testing::FakeSockets::sendError, "send", [this] { socket.SendText("x"); }},
        {&testing::FakeSockets::bytesWaitingError, "recv", [this] { EXPECT_EQ(socket.ReceiveText(), ""); }},
        {&testing::FakeSockets::receiveError, "recv", [this] { EXPECT_EQ(socket.ReceiveText(), ""); }},
    };
    for (const auto& c : cases) for (const bool handled : {true, false}) {
        SCOPED_TRACE(::testing::Message() << c.api << (handled ? ", handled" : ""));
        platform = testing::FakeSockets();
        events = RecordedEvents();
        events.handleErrors = handled;
        Connect();
        platform.incoming = "waiting";
        platform.*c.error = 10054;
        EXPECT_EQ(ErrorOf(c.call), handled ? "(none)"
                                           : std::string("Windows socket error: text of 10054 (10054), on API '") +
                                                 c.api + "'");
        EXPECT_EQ(events.errors, std::vector<int>{10054});
        EXPECT_EQ(socket.state(), ClientSocket::State::Idle);
        EXPECT_TRUE(platform.openSockets.empty());
    }
}

TEST_F(ClientSocketTest, NotificationsWithAnErrorReachTheDialog) {
    for (const NetworkEvent event :
         {NetworkEvent::Connect, NetworkEvent::Read, NetworkEvent::Write, NetworkEvent::Close}) {
        OpenTo("127.0.0.1");
        socket.Notify(platform.lastSocket, event, 10061);
        EXPECT_EQ(events.errors.back(), 10061);
        socket.Close();
    }
    events.handleErrors = false;
    OpenTo("127.0.0.1");
    EXPECT_EQ(ErrorOf([&] { socket.Notify(platform.lastSocket, NetworkEvent::Connect, 10060); }),
              "Asynchronous socket error 10060");
}

TEST_F(ClientSocketTest, APeerCloseGoesIdleQuietlyUnlessClosingFails) {
    Connect();
    socket.Notify(platform.lastSocket, NetworkEvent::Close, 0);
    EXPECT_EQ(socket.state(), ClientSocket::State::Idle);
    EXPECT_EQ(events.seen, std::vector<std::string>{"connect"});

    Connect();
    platform.closeError = 10038;
    EXPECT_EQ(ErrorOf([&] { socket.Notify(platform.lastSocket, NetworkEvent::Close, 0); }),
              "Windows socket error: text of 10038 (10038), on API 'closesocket'");
    EXPECT_EQ(socket.state(), ClientSocket::State::Idle);
}

TEST_F(ClientSocketTest, NotificationsForAClosedOrEarlierSocketAreIgnored) {
    OpenTo("127.0.0.1");
    const SocketId first = platform.lastSocket;
    socket.Close();
    socket.Notify(first, NetworkEvent::Connect, 0);
    socket.Notify(first, NetworkEvent::Close, 10054);
    OpenTo("127.0.0.1");
    socket.Notify(first, NetworkEvent::Read, 0);
    socket.Notify(kNoSocket, NetworkEvent::Connect, 0);
    EXPECT_TRUE(events.seen.empty());
    EXPECT_EQ(socket.state(), ClientSocket::State::Connecting);
}

TEST_F(ClientSocketTest, CloseEndsAnyStateAndTheDestructorClosesTheSocket) {
    EXPECT_TRUE(socket.Close().succeeded);
    EXPECT_TRUE(platform.closedSockets.empty());
    {
        ClientSocket other(platform, events);
        other.SetAddress("127.0.0.1");
        other.Open();
    }
    EXPECT_TRUE(platform.openSockets.empty());
}

}  // namespace
}  // namespace tallyhorn::client
