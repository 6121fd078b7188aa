// What the dialog sends to the comment server and how it reads the server's reply.
#pragma once

#include <string>
#include <string_view>

namespace tallyhorn::client {

// "Client Comment" + JobID + "##" + comment + "##", nothing escaped, no terminator.
std::string CommentMessage(const std::string& jobId, const std::string& comment);

enum class Reply {
    Undecided,        // what has arrived may still become an acknowledgement
    Acknowledgement,  // begins with "Client Comment OK" or "Quota Approval OK"
    Other,            // can no longer become one
};

// Gathers a reply across reads, since TCP may deliver the acknowledgement in pieces.
// Keeps at most a marker's length of bytes, however much the server sends.
class ReplyGatherer {
public:
    // Adds the bytes of one read. After a decision the gatherer starts afresh, so the next
    // bytes are read as a new reply. Empty bytes change nothing.
    Reply Add(std::string_view bytes);
    // Drops what has been gathered (a new connection).
    void Reset() { gathered_.clear(); }

private:
    std::string gathered_;
};

}  // namespace tallyhorn::client
