// What the dialog sends to the comment server and how it reads the server's reply.
#include "client/comment_exchange.h"

#include <algorithm>

#include "contract/contract.h"

namespace tallyhorn::client {

std::string CommentMessage(const std::string& jobId, const std::string& comment) {
    std::string message(contract::kCommentMessageHead);
    message += jobId;
    message += contract::kCommentSeparator;
    message += comment;
    message += contract::kCommentSeparator;
    return message;
}

Reply ReplyGatherer::Add(std::string_view bytes) {
    static constexpr std::string_view kMarkers[] = {contract::kCommentAck, contract::kQuotaAck};
    static constexpr std::size_t kLongest = std::max(contract::kCommentAck.size(), contract::kQuotaAck.size());
    if (bytes.empty()) {
        return Reply::Undecided;
    }
    gathered_.append(bytes.substr(0, kLongest - gathered_.size()));
    bool mayBecomeOne = false;
    for (const auto marker : kMarkers) {
        if (gathered_.starts_with(marker)) {
            gathered_.clear();
            return Reply::Acknowledgement;
        }
        if (marker.starts_with(gathered_)) {
            mayBecomeOne = true;
        }
    }
    if (mayBecomeOne) {
        return Reply::Undecided;
    }
    gathered_.clear();
    return Reply::Other;
}

}  // namespace tallyhorn::client
