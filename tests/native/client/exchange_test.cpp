// The comment message on the wire and the acknowledgement rules, a split reply included.
#include <gtest/gtest.h>

#include "client/comment_exchange.h"

namespace tallyhorn::client {
namespace {

TEST(CommentMessage, IsTheFivePiecesWithNothingBetweenThem) {
    EXPECT_EQ(CommentMessage("1234", "Proof copy"), "Client Comment1234##Proof copy##");
    EXPECT_EQ(CommentMessage("1234", "Proof copy").size(), 32u);
    EXPECT_EQ(CommentMessage("1234", ""), "Client Comment1234####");
    EXPECT_EQ(CommentMessage("1#2", "a##b"), "Client Comment1#2##a##b##");
    EXPECT_EQ(CommentMessage("", "\xe4\xf6"), "Client Comment##\xe4\xf6##");
}

TEST(ReplyGatherer, AReplyThatBeginsWithAMarkerIsAnAcknowledgement) {
    for (const char* reply : {"Client Comment OK", "Client Comment OK\r\n", "Quota Approval OK", "Quota Approval OKAY"}) {
        ReplyGatherer gatherer;
        EXPECT_EQ(gatherer.Add(reply), Reply::Acknowledgement) << reply;
    }
}

TEST(ReplyGatherer, AnythingElseIsDecidedAsSoonAsItCanNoLongerBecomeOne) {
    for (const char* reply : {" Client Comment OK", "client comment ok", "ERROR", "Client Comment NO", "Qx"}) {
        ReplyGatherer gatherer;
        EXPECT_EQ(gatherer.Add(reply), Reply::Other) << reply;
    }
}

TEST(ReplyGatherer, ASplitMarkerIsGatheredAcrossReads) {
    ReplyGatherer gatherer;
    EXPECT_EQ(gatherer.Add("Cli"), Reply::Undecided);
    EXPECT_EQ(gatherer.Add(""), Reply::Undecided);
    EXPECT_EQ(gatherer.Add("ent Comment "), Reply::Undecided);
    EXPECT_EQ(gatherer.Add("OK and more"), Reply::Acknowledgement);

    EXPECT_EQ(gatherer.Add("Quota"), Reply::Undecided);  // afresh after the decision
    EXPECT_EQ(gatherer.Add(" Approval OX"), Reply::Other);
    EXPECT_EQ(gatherer.Add("Client Comment OK"), Reply::Acknowledgement);  // a later reply still counts
}

TEST(ReplyGatherer, ResetDropsAPartOfAnEarlierConnection) {
    ReplyGatherer gatherer;
    EXPECT_EQ(gatherer.Add("Client Comm"), Reply::Undecided);
    gatherer.Reset();
    EXPECT_EQ(gatherer.Add("ent Comment OK"), Reply::Other);
}

TEST(ReplyGatherer, AFloodIsDecidedWithoutGatheringIt) {
    ReplyGatherer gatherer;
    EXPECT_EQ(gatherer.Add(std::string(1 << 20, 'x')), Reply::Other);
    EXPECT_EQ(gatherer.Add("Client Comment OK" + std::string(1 << 20, '\0')), Reply::Acknowledgement);
}

}  // namespace
}  // namespace tallyhorn::client
