// Fuzzes the history parser (no byte of a line lost, a write and read change nothing),
// the stepwise order (a stable sort, in steps of any size) and the reply gatherer (a
// reply in pieces is decided as the whole one is).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <string>
#include <string_view>

#include "client/comment_exchange.h"
#include "client/comment_history.h"

using namespace tallyhorn::client;

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void CheckParse(std::string_view bytes) {
    const auto entries = ParseHistory(bytes);
    std::size_t kept = 0;
    for (const auto& entry : entries) {
        Check(entry.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        kept += entry.size();
    }
    // Every byte but line ends, zeros and (in a file with zeros) a UTF-16 byte-order mark
    // is in some entry.
    std::size_t text = static_cast<std::size_t>(
        std::count_if(bytes.begin(), bytes.end(), [](char c) { return c != '\r' && c != '\n' && c != '\0'; }));
    if (bytes.find('\0') != std::string_view::npos && (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))) {
        text -= 2;
    }
    Check(kept == text);
    Check(ParseHistory(FormatHistory(entries)) == entries);
}

// The first two bytes set the run length and the merge step; the rest, cut at byte 0,
// are the keys. Both checks below are given at least two bytes.
void CheckOrder(std::string_view bytes) {
    StepwiseOrder order(static_cast<unsigned char>(bytes[0]) % 9 + 1, static_cast<unsigned char>(bytes[1]) % 9 + 1);
    std::vector<std::string_view> keys;
    for (std::string_view rest = bytes.substr(2); !rest.empty();) {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        keys.push_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    for (const auto key : keys) {
        order.Add(key);
    }
    while (order.Step()) {
    }
    std::vector<std::uint32_t> expected(keys.size());
    std::iota(expected.begin(), expected.end(), 0u);
    std::stable_sort(expected.begin(), expected.end(), [&](auto a, auto b) { return keys[a] < keys[b]; });
    Check(order.Order() == expected);
    for (std::size_t place = 1; place < expected.size(); ++place) {
        Check(order.SameAsPrevious(place) == (keys[expected[place]] == keys[expected[place - 1]]));
    }
}

// The first byte sets the piece length; the rest is the server's reply.
void CheckReply(std::string_view bytes) {
    const std::size_t piece = static_cast<unsigned char>(bytes[0]) % 8 + 1;
    const std::string_view reply = bytes.substr(1);
    ReplyGatherer whole;
    const Reply expected = whole.Add(reply);
    ReplyGatherer pieces;
    Reply decided = Reply::Undecided;
    for (std::size_t at = 0; at < reply.size() && decided == Reply::Undecided; at += piece) {
        decided = pieces.Add(reply.substr(at, piece));
    }
    Check(decided == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckParse(bytes);
    if (bytes.size() >= 2) {
        CheckOrder(bytes);
        CheckReply(bytes);
    }
    return 0;
}
