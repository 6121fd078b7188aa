// TForm1's comment submission: every row of the exchange's transition table, the
// acknowledgement read across pieces, the error and timeout boxes and their log lines.
#include "tests/native/client/dialog_test_support.h"

namespace tallyhorn::client::testing {
namespace {

using Lines = std::vector<std::string>;
constexpr const char* kMessage = "Client Comment1234##Proof copy##";
constexpr const char* kTimeout =
    "Timeout while communicating to the Tallyhorn server (127.0.0.1), Comment will not be written to the DB";

// The event of a comment that did not reach the server, and of an error in the general box.
events::Event NotDelivered(const std::string& why) { return {events::kCommentNotDelivered, {"1234", "127.0.0.1", why}}; }
events::Event ErrorShown(const std::string& text) { return {events::kDialogErrorShown, {"1234", "127.0.0.1", text}}; }

std::string ServerError(int code) {
    return "Error occured while communicating to the Tallyhorn server (127.0.0.1), Comment will not be written to "
           "the DB, (error " +
           std::to_string(code) + ").";
}

class SubmissionTest : public DialogTest {
protected:
    void SetUp() override {
        StartWith("COMMENT");
        platform.commentText = "Proof copy";
    }
    void Ok() { form.ButtonClicked(Control::OKBtn); }
    void Connected() { form.SocketNotified(platform.lastSocket, NetworkEvent::Connect, 0); }
    void ServerSends(const std::string& bytes) {
        platform.incoming += bytes;
        form.SocketNotified(platform.lastSocket, NetworkEvent::Read, 0);
    }
    void PeerCloses() { form.SocketNotified(platform.lastSocket, NetworkEvent::Close, 0); }
    void Awaiting() {
        Ok();
        Connected();
    }
    void Answered() {
        Awaiting();
        ServerSends("Stored? no");
    }
    bool SocketOpen() { return platform.openSockets.count(platform.lastSocket) > 0; }
    long long WatchDogDue() { return platform.timers[Timer::WatchDog_Timer].due; }
    // The watchdog expires after `ms` more: its box and its event, and the connection is gone.
    void ExpectTimeoutAfter(long long ms) {
        Advance(ms);
        EXPECT_EQ(BoxTexts(), Lines{kTimeout});
        ASSERT_FALSE(platform.events.empty());
        EXPECT_EQ(platform.events.back(), NotDelivered("no reply within 10 seconds"));
        EXPECT_FALSE(SocketOpen());
    }
    Lines LogAfterActivation() {
        const Lines all = Log();
        return Lines(all.begin() + 2, all.end());
    }
};

// ---- from Idle

TEST_F(SubmissionTest, IdleOkStartsTheWatchdogAndConnectsToPort5052) {
    Ok();
    EXPECT_TRUE(Running(Timer::WatchDog_Timer));
    EXPECT_EQ(platform.timers[Timer::WatchDog_Timer].interval, 10000u);
    EXPECT_EQ(platform.addresses, Lines{"127.0.0.1"});
    EXPECT_EQ(platform.ports, std::vector<std::uint16_t>{5052});
    EXPECT_TRUE(platform.sent.empty());
    EXPECT_EQ(LogAfterActivation(), Lines{"OKBtn Click"});
    EXPECT_EQ(platform.quitRequests, 0);
}

TEST_F(DialogTest, AnEmptyServerAddressGivesOneBoxAtOnceAndNoTimeout) {
    StartWith("COMMENT", {{"ServerIP", ""}});
    platform.createError = 10024;  // no socket to be had either: the address is the reason
    form.ButtonClicked(Control::OKBtn);
    Advance(60000);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].kind, BoxKind::General);
    EXPECT_EQ(platform.boxes[0].text, "No address specified.");
    EXPECT_EQ(Log().back(), "OKBtn Click");
}

TEST_F(SubmissionTest, NoSocketOrARejectedConnectGiveOneBoxEachAndNoTimeout) {
    platform.createError = 10024;
    Ok();
    EXPECT_FALSE(Running(Timer::WatchDog_Timer));
    platform.createError = 0;
    platform.connectError = 10051;
    Ok();
    EXPECT_FALSE(Running(Timer::WatchDog_Timer));
    Advance(60000);
    EXPECT_EQ(BoxTexts(), (Lines{"Can't create new socket.",
                                 "Windows socket error: text of 10051 (10051), on API 'connect'"}));
    EXPECT_EQ(platform.boxes[1].caption, "Tallyhornclient");
    EXPECT_EQ(platform.events, (std::vector<events::Event>{ErrorShown(platform.boxes[0].text), ErrorShown(platform.boxes[1].text)}));
    EXPECT_TRUE(platform.openSockets.empty());
    EXPECT_EQ(platform.closedSockets.size(), 1u);  // only the rejected attempt's own socket
    EXPECT_EQ(LogAfterActivation(), (Lines{"OKBtn Click", "OKBtn Click"}));  // nothing else is logged
}

// ---- from Connecting

TEST_F(SubmissionTest, ConnectedSendsTheCommentMessageOnceWithTheTextOfThatMoment) {
    Ok();
    platform.commentText = "Proof copy";  // typed after OK, before the connection stands
    Connected();
    EXPECT_EQ(platform.sent, Lines{kMessage});
    EXPECT_TRUE(Running(Timer::WatchDog_Timer));
    EXPECT_EQ(LogAfterActivation(), Lines{"OKBtn Click"});
}

enum class Failure { WhileConnecting, ResetWhileAwaiting, FailedReceive, FailedSend, AfterAnAnswer };
class FailureTest : public SubmissionTest, public ::testing::WithParamInterface<Failure> {};

// Whatever fails on the connection is handled alike: logged, shown in the error box (the
// one box), the connection closed, the watchdog stopped; the dialog stays.
TEST_P(FailureTest, IsLoggedShownAndEndsTheConnection) {
    const int code = GetParam() == Failure::WhileConnecting ? 10061 : 10054;
    switch (GetParam()) {
        case Failure::WhileConnecting: Ok(); form.SocketNotified(platform.lastSocket, NetworkEvent::Connect, code); break;
        case Failure::ResetWhileAwaiting: Awaiting(); form.SocketNotified(platform.lastSocket, NetworkEvent::Close, code); break;
        case Failure::FailedReceive: Awaiting(); platform.receiveError = code; ServerSends("Client Comment OK"); break;
        case Failure::FailedSend: platform.sendError = code; Awaiting(); break;
        case Failure::AfterAnAnswer: Answered(); form.SocketNotified(platform.lastSocket, NetworkEvent::Read, code); break;
    }
    EXPECT_EQ(LogAfterActivation(), (Lines{"OKBtn Click", "ClientSocketError " + std::to_string(code)}));
    EXPECT_EQ(BoxTexts(), Lines{ServerError(code)});
    ASSERT_FALSE(platform.events.empty());
    EXPECT_EQ(platform.events.back(), NotDelivered("socket error " + std::to_string(code)));
    EXPECT_EQ(platform.boxes[0].kind, BoxKind::Error);
    EXPECT_FALSE(Running(Timer::WatchDog_Timer));
    EXPECT_FALSE(SocketOpen());
    EXPECT_EQ(platform.quitRequests, 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, FailureTest,
                         ::testing::Values(Failure::WhileConnecting, Failure::ResetWhileAwaiting, Failure::FailedReceive,
                                           Failure::FailedSend, Failure::AfterAnAnswer));

// The box comes before the connection closes, and after the event is written: a box may
// stay open for long.
TEST_F(SubmissionTest, TheBoxIsShownBeforeTheConnectionClosesAndAfterItsEvent) {
    Ok();
    bool openWhileShown = false;
    std::size_t eventsWhileShown = 0;
    platform.script.push_back([&](const Box&) {
        openWhileShown = SocketOpen();
        eventsWhileShown = platform.events.size();
        return false;
    });
    form.SocketNotified(platform.lastSocket, NetworkEvent::Connect, 10060);
    EXPECT_TRUE(openWhileShown);
    EXPECT_EQ(eventsWhileShown, 1u);
    EXPECT_FALSE(SocketOpen());
}

TEST_F(SubmissionTest, AnExpiryWhileConnectingAbandonsTheAttempt) {
    Ok();
    ExpectTimeoutAfter(10000);
    Connected();  // a late notification of the abandoned attempt
    EXPECT_TRUE(platform.sent.empty());
}

// OK while connecting, then while awaiting the reply, only logs: no second connection or
// message, and the watchdog keeps its expiry, which closes the connection: an
// acknowledgement after it comes too late.
TEST_F(SubmissionTest, OkWhileConnectingOrAwaitingOnlyLogs) {
    Ok();
    Advance(4000);
    Ok();
    EXPECT_EQ(platform.ports.size(), 1u);
    EXPECT_EQ(WatchDogDue(), 10000);
    EXPECT_EQ(LogAfterActivation(), (Lines{"OKBtn Click", "OKBtn Click"}));
    Connected();
    Advance(2000);
    Ok();
    EXPECT_EQ(platform.sent.size(), 1u);
    EXPECT_EQ(WatchDogDue(), 10000);
    ExpectTimeoutAfter(4000);
    ServerSends("Client Comment OK");
    EXPECT_EQ(platform.quitRequests, 0);
}

// ---- from Awaiting acknowledgement

struct ServerReply {
    std::vector<std::string> pieces;
    bool acknowledges;
};
class ReplyTest : public SubmissionTest, public ::testing::WithParamInterface<ServerReply> {};

// The watchdog runs while the reply may still become an acknowledgement (an empty read
// changes nothing); once decided it stops, and an acknowledgement closes the dialog
// through the close check.
TEST_P(ReplyTest, KeepsTheWatchdogUntilDecidedAndAnAcknowledgementCloses) {
    Awaiting();
    for (std::size_t i = 0; i + 1 < GetParam().pieces.size(); ++i) {
        ServerSends(GetParam().pieces[i]);
        EXPECT_TRUE(Running(Timer::WatchDog_Timer)) << i;
    }
    ServerSends(GetParam().pieces.back());
    EXPECT_FALSE(Running(Timer::WatchDog_Timer));
    EXPECT_EQ(platform.quitRequests, GetParam().acknowledges ? 1 : 0);
    EXPECT_EQ(platform.files[platform.HistoryPath()], GetParam().acknowledges ? "Proof copy\r\n" : "");
    EXPECT_TRUE(platform.boxes.empty());
    // Another reply: the comment did not reach the server, though no box says so.
    EXPECT_EQ(platform.events.size(), GetParam().acknowledges ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyTest,
                         ::testing::Values(ServerReply{{"Client Comment OK\r\n"}, true}, ServerReply{{"Quota Approval OK"}, true},
                                           ServerReply{{"Client Com", "", "ment OK"}, true},
                                           ServerReply{{"Quota App", "rovalXOK"}, false}));

TEST_F(SubmissionTest, AnotherReplyStopsTheWatchdogQuietly) {
    Answered();
    EXPECT_EQ(platform.events, std::vector<events::Event>{NotDelivered("the reply was no acknowledgement")});
    EXPECT_FALSE(Running(Timer::WatchDog_Timer));
    Advance(60000);
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_EQ(platform.quitRequests, 0);
    EXPECT_EQ(LogAfterActivation(), Lines{"OKBtn Click"});
    EXPECT_TRUE(SocketOpen());
    ServerSends("Client Comment OK");  // a later acknowledgement still closes
    EXPECT_EQ(platform.quitRequests, 1);
}

TEST_F(SubmissionTest, APeerCloseIsNotReportedAndTheTimeoutFollowsAFailedOpenMeanwhile) {
    Awaiting();
    Advance(3000);
    PeerCloses();
    EXPECT_FALSE(SocketOpen());
    EXPECT_TRUE(platform.boxes.empty());
    platform.createError = 10024;
    Ok();  // fails, and leaves the first attempt's watchdog its expiry
    EXPECT_EQ(WatchDogDue(), 10000);
    Advance(7000);
    EXPECT_EQ(BoxTexts(), (Lines{"Can't create new socket.", kTimeout}));
}

// What the transport does not take goes out on its writability notifications (tested with
// the connection); the watchdog bounds the whole exchange all the same.
TEST_F(SubmissionTest, AMessageTheServerNeverTakesWholeEndsInTheTimeout) {
    platform.sendRoom = 10;
    Awaiting();
    EXPECT_TRUE(platform.boxes.empty());
    ExpectTimeoutAfter(10000);
    EXPECT_EQ(platform.AllSent(), std::string(kMessage, 10));
}

TEST_F(SubmissionTest, APartialReplyOfAnEarlierConnectionDoesNotCarryOver) {
    Awaiting();
    ServerSends("Client Comm");
    Advance(10000);  // the timeout closes that connection
    Ok();
    Connected();
    ServerSends("ent OK");  // would complete the marker with the old piece
    EXPECT_EQ(platform.quitRequests, 0);
    EXPECT_FALSE(Running(Timer::WatchDog_Timer));
    EXPECT_EQ(platform.sent, (Lines{kMessage, kMessage}));
}

// ---- from Answered

TEST_F(SubmissionTest, AnsweredOkRestartsTheWatchdogAndSendsNothing) {
    Answered();
    Advance(5000);
    Ok();
    EXPECT_TRUE(Running(Timer::WatchDog_Timer));
    EXPECT_EQ(WatchDogDue(), 15000);
    EXPECT_EQ(platform.sent.size(), 1u);
    ExpectTimeoutAfter(10000);
}

// ---- after a failure, and the odd corners

TEST_F(SubmissionTest, OkAfterAnErrorConnectsAgainAndSendsTheTextOfThatMoment) {
    Ok();
    form.SocketNotified(platform.lastSocket, NetworkEvent::Connect, 10061);
    platform.commentText = "second try";
    Awaiting();
    EXPECT_EQ(platform.ports.size(), 2u);
    EXPECT_EQ(platform.sent, Lines{"Client Comment1234##second try##"});
}

TEST_F(SubmissionTest, AFailingCloseInsideTheHandlersIsIgnored) {
    platform.closeError = 10038;
    Ok();
    form.SocketNotified(platform.lastSocket, NetworkEvent::Connect, 10061);
    Ok();
    Advance(10000);
    EXPECT_EQ(BoxTexts(), (Lines{ServerError(10061), kTimeout}));
}

TEST_F(SubmissionTest, AnAcknowledgementWhileTheTimeoutBoxIsOpenClosesTheDialog) {
    Awaiting();
    Answer(false, [&] { ServerSends("Client Comment OK"); });
    ExpectTimeoutAfter(10000);
    EXPECT_EQ(platform.quitRequests, 1);
}

TEST_F(SubmissionTest, AnErrorWhileABoxIsOpenOpensASecondBoxAboveIt) {
    Ok();
    Answer(false, [&] { form.SocketNotified(platform.lastSocket, NetworkEvent::Connect, 10061); });
    form.ButtonClicked(Control::CancelBtn);
    EXPECT_EQ(BoxTexts(), (Lines{"Quit without entering Comment ?", ServerError(10061)}));
    EXPECT_EQ(platform.boxes[1].depth, 1);
}

}  // namespace
}  // namespace tallyhorn::client::testing
