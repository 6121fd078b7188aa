// Fuzzes the history file parser (its output must survive a write and a read unchanged)
// and the reply gatherer (a reply cut into pieces must be decided as the whole one is).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/comment_exchange.h"
#include "client/comment_history.h"

using namespace tallyhorn::client;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const auto entries = ParseHistory(bytes);
    for (const auto& entry : entries) {
        if (entry.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            std::abort();
        }
    }
    if (ParseHistory(FormatHistory(entries)) != entries) {
        std::abort();
    }

    // The first byte sets the piece length; the rest is the server's reply.
    if (size > 1) {
        const std::size_t piece = data[0] % 8 + 1;
        const std::string_view reply = bytes.substr(1);
        ReplyGatherer whole;
        const Reply expected = whole.Add(reply);
        ReplyGatherer pieces;
        Reply decided = Reply::Undecided;
        for (std::size_t at = 0; at < reply.size() && decided == Reply::Undecided; at += piece) {
            decided = pieces.Add(reply.substr(at, piece));
        }
        if (decided != expected) {
            std::abort();
        }
    }
    return 0;
}
