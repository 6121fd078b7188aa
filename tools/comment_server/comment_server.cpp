// A stand-in for the Tallyhorn comment server on 127.0.0.1:5052: records every byte
// that clients send and answers in the way it is told, misbehaviour included. It stops
// by itself after a time bound (and after a number of connections, when given one).
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/windows/sockets.h"
#include "contract/contract.h"

namespace {

constexpr char kUsage[] =
    "usage: comment_server [--mode MODE] [--reply TEXT] [--record FILE] [--log FILE]\n"
    "                      [--ready FILE] [--port N] [--seconds N] [--connections N]\n"
    "                      [--pause-ms N] [--delay-ms N] [--flood-mb N]\n"
    "modes: ack (\"Client Comment OK\"), quota (\"Quota Approval OK\"), other (--reply or a\n"
    "       refusal), silent (never answers), close (closes without answering), reset\n"
    "       (closes with a reset), split (the answer in two sends, --pause-ms apart), slow\n"
    "       (answers after --delay-ms), flood (--flood-mb megabytes of text), no-read\n"
    "       (accepts and never reads)\n";

struct Options {
    std::string mode = "ack";
    std::string reply;
    std::string recordPath;
    std::string logPath;
    std::string readyPath;
    unsigned short port = tallyhorn::contract::kServerPort;
    unsigned seconds = 120;
    unsigned connections = 0;  // 0: no bound
    unsigned pauseMs = 300;
    unsigned delayMs = 2000;
    unsigned floodMb = 4;
};

struct Client {
    tallyhorn::win::UniqueSocket socket;
    unsigned number = 0;
    std::string received;
    bool answerDue = false;
    bool answered = false;
    DWORD answerAt = 0;
    std::string rest;  // the second half of a split answer
    DWORD restAt = 0;
};

FILE* logFile = nullptr;

void Log(const char* format, const std::string& a = {}, unsigned long n = 0) {
    FILE* out = logFile ? logFile : stdout;
    std::fprintf(out, format, a.c_str(), n);
    std::fputc('\n', out);
    std::fflush(out);
}

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (word == "--mode") options.mode = value;
        else if (word == "--reply") options.reply = value;
        else if (word == "--record") options.recordPath = value;
        else if (word == "--log") options.logPath = value;
        else if (word == "--ready") options.readyPath = value;
        else if (word == "--port") options.port = static_cast<unsigned short>(std::atoi(value));
        else if (word == "--seconds") options.seconds = static_cast<unsigned>(std::atoi(value));
        else if (word == "--connections") options.connections = static_cast<unsigned>(std::atoi(value));
        else if (word == "--pause-ms") options.pauseMs = static_cast<unsigned>(std::atoi(value));
        else if (word == "--delay-ms") options.delayMs = static_cast<unsigned>(std::atoi(value));
        else if (word == "--flood-mb") options.floodMb = static_cast<unsigned>(std::atoi(value));
        else return false;
    }
    static const char* const modes[] = {"ack", "quota", "other", "silent", "close", "reset",
                                        "split", "slow", "flood", "no-read"};
    for (const char* mode : modes) {
        if (options.mode == mode) return true;
    }
    return false;
}

std::string ReplyFor(const Options& options) {
    if (!options.reply.empty()) return options.reply;
    if (options.mode == "quota") return std::string(tallyhorn::contract::kQuotaAck);
    if (options.mode == "other") return "Comment refused";
    return std::string(tallyhorn::contract::kCommentAck);
}

bool SendAll(SOCKET socket, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int sent = send(socket, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        if (sent == SOCKET_ERROR) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

void Close(Client& client, bool reset) {
    if (!client.socket) return;
    if (reset) {
        linger hard{1, 0};  // an abortive close: the peer sees a reset
        setsockopt(client.socket.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    }
    client.socket.reset();
}

void Answer(const Options& options, Client& client) {
    client.answered = true;
    const std::string reply = ReplyFor(options);
    const std::string& mode = options.mode;
    if (mode == "silent") return;
    if (mode == "close" || mode == "reset") {
        Log("connection %s%lu: closed%s", "", client.number);
        Close(client, mode == "reset");
        return;
    }
    if (mode == "split") {
        const std::size_t half = reply.size() / 2;
        SendAll(client.socket.get(), reply.substr(0, half));
        client.rest = reply.substr(half);
        client.restAt = GetTickCount() + options.pauseMs;
        Log("connection %s%lu: first half sent", "", client.number);
        return;
    }
    if (mode == "flood") {
        const std::string block(1 << 16, 'x');
        for (unsigned i = 0; i < options.floodMb * 16; ++i) {
            if (!SendAll(client.socket.get(), block)) break;
        }
        Log("connection %s%lu: flood sent", "", client.number);
        return;
    }
    SendAll(client.socket.get(), reply);
    Log("answered \"%s\" on connection %lu", reply, client.number);
}

void Record(const Options& options, const char* bytes, int count) {
    if (options.recordPath.empty()) return;
    FILE* out = std::fopen(options.recordPath.c_str(), "ab");
    if (!out) return;
    std::fwrite(bytes, 1, static_cast<std::size_t>(count), out);
    std::fclose(out);
}

int Serve(const Options& options) {
    tallyhorn::win::UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener) return 1;
    BOOL reuse = TRUE;
    setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(options.port);
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
        listen(listener.get(), 8) == SOCKET_ERROR) {
        std::fprintf(stderr, "comment_server: cannot listen on 127.0.0.1:%u (error %d)\n", options.port,
                     WSAGetLastError());
        return 1;
    }
    if (!options.readyPath.empty()) {
        if (FILE* ready = std::fopen(options.readyPath.c_str(), "wb")) std::fclose(ready);
    }
    Log("listening%s on port %lu", "", options.port);

    const DWORD endAt = GetTickCount() + options.seconds * 1000;
    std::vector<Client> clients;
    unsigned accepted = 0;
    unsigned finished = 0;
    for (;;) {
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(now - endAt) >= 0) break;
        if (options.connections && finished >= options.connections) break;
        fd_set readable;
        FD_ZERO(&readable);
        if (!options.connections || accepted < options.connections) FD_SET(listener.get(), &readable);
        DWORD waitMs = endAt - now;
        for (const Client& client : clients) {
            if (!client.socket) continue;
            if (options.mode != "no-read") FD_SET(client.socket.get(), &readable);
            if (client.answerDue && !client.answered) waitMs = std::min<DWORD>(waitMs, client.answerAt - now);
            if (!client.rest.empty()) waitMs = std::min<DWORD>(waitMs, client.restAt - now);
        }
        waitMs = std::min<DWORD>(waitMs, 100);
        timeval timeout{static_cast<long>(waitMs / 1000), static_cast<long>((waitMs % 1000) * 1000)};
        const int ready = select(0, &readable, nullptr, nullptr, &timeout);
        if (ready == SOCKET_ERROR) {
            Sleep(10);  // an empty set on some stacks; wait a little instead
        }
        if (ready > 0 && FD_ISSET(listener.get(), &readable)) {
            Client client;
            client.socket.reset(accept(listener.get(), nullptr, nullptr));
            if (client.socket) {
                client.number = ++accepted;
                Log("connection %s%lu", "", client.number);
                clients.push_back(std::move(client));
            }
        }
        for (Client& client : clients) {
            if (!client.socket) continue;
            if (ready > 0 && FD_ISSET(client.socket.get(), &readable)) {
                char buffer[4096];
                const int got = recv(client.socket.get(), buffer, sizeof buffer, 0);
                if (got <= 0) {
                    Log("connection %s%lu: closed by the client", "", client.number);
                    Close(client, false);
                    ++finished;
                    continue;
                }
                Record(options, buffer, got);
                client.received.append(buffer, static_cast<std::size_t>(got));
                Log("connection %s%lu: received", "", client.number);
                // The comment message ends with its separator; answer once per connection.
                if (!client.answerDue && client.received.ends_with(tallyhorn::contract::kCommentSeparator)) {
                    client.answerDue = true;
                    client.answerAt = GetTickCount() + (options.mode == "slow" ? options.delayMs : 0);
                }
            }
            const DWORD later = GetTickCount();
            if (client.answerDue && !client.answered && static_cast<LONG>(later - client.answerAt) >= 0) {
                Answer(options, client);
                if (!client.socket) ++finished;
            }
            if (client.socket && !client.rest.empty() && static_cast<LONG>(later - client.restAt) >= 0) {
                SendAll(client.socket.get(), client.rest);
                Log("connection %s%lu: second half sent", "", client.number);
                client.rest.clear();
            }
        }
    }
    for (Client& client : clients) Close(client, false);
    listener.reset();
    Log("stopped%s after %lu connections", "", accepted);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!options.logPath.empty()) logFile = std::fopen(options.logPath.c_str(), "ab");
    int result = 1;
    {
        const tallyhorn::win::WsaSession sockets(MAKEWORD(2, 2));
        if (sockets.error() != 0) return 1;
        result = Serve(options);
    }
    if (logFile) std::fclose(logFile);
    return result;
}
