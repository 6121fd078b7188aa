// Times the comment history at 100,000 entries of about 30 bytes: the load at activation
// (read, parse), the steps that order it and hand it over afterwards, and the save of a
// close attempt (record, merge, write).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "client/comment_history.h"
#include "tests/native/client/fake_platform.h"

namespace {

using namespace tallyhorn::client;
namespace fs = std::filesystem;

// The test platform with the history file on disk, replaced through a temporary file.
class DiskPlatform : public testing::FakePlatform {
public:
    explicit DiskPlatform(const fs::path& folder) : folder_(folder) {}
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        std::ifstream in(OnDisk(path), std::ios::binary);
        std::error_code error;
        const auto size = fs::file_size(OnDisk(path), error);
        if (!in || error) {
            return std::nullopt;
        }
        std::string bytes(size, '\0');
        if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) {
            return std::nullopt;
        }
        return bytes;
    }
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override {
        const fs::path target = OnDisk(path);
        const fs::path temp = target.string() + ".tmp";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
                return false;
            }
        }
        std::error_code error;
        fs::rename(temp, target, error);
        return !error;
    }
    bool FileExists(const std::string& path) override { return fs::exists(OnDisk(path)); }

private:
    fs::path OnDisk(const std::string& path) const { return folder_ / path.substr(path.rfind('\\') + 1); }
    fs::path folder_;
};

std::string RandomEntry(std::mt19937& random) {
    static const char* const words[] = {"Proof", "copy", "for", "the", "board", "meeting", "draft", "Invoice",
                                        "march", "client", "urgent", "Report", "final", "v2", "scan", "Budget"};
    std::string entry;
    while (entry.size() < 26) {
        entry += words[random() % 16];
        entry += ' ';
    }
    entry += std::to_string(random() % 10000);
    return entry;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

template <typename Step>
double Time(Step step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return Milliseconds(std::chrono::steady_clock::now() - start);
}

}  // namespace

int main() {
    constexpr int kEntries = 100000;
    const fs::path folder = fs::temp_directory_path() / ("tallyhorn-history-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);

    std::mt19937 random(20261207);
    std::vector<std::string> entries;
    std::size_t bytes = 0;
    for (int i = 0; i < kEntries; ++i) {
        entries.push_back(RandomEntry(random));
        bytes += entries.back().size() + 2;
    }
    {
        std::ofstream out(folder / "Tallyhorn.Cmt", std::ios::binary);
        out << FormatHistory(entries);  // in random order, as another program may leave it
    }

    DiskPlatform platform(folder);
    CommentHistory history(platform);
    const std::string programFolder = platform.programFolder;

    const double load = Time([&] { history.Load(programFolder); });
    int steps = 0;
    double longestStep = 0;
    const double rest = Time([&] {
        for (bool more = true; more; ++steps) {
            longestStep = std::max(longestStep, Time([&] { more = history.Continue(); }));
        }
    });
    const double save = Time([&] { history.RecordAndSave(programFolder, "A comment typed just now"); });
    const double resave = Time([&] { history.RecordAndSave(programFolder, "A comment typed just now"); });
    {
        // Another client saved 1,000 comments of its own meanwhile.
        std::ofstream out(folder / "Tallyhorn.Cmt", std::ios::binary | std::ios::app);
        for (int i = 0; i < 1000; ++i) {
            out << "Other client " << i << " " << RandomEntry(random) << "\r\n";
        }
    }
    const double merge = Time([&] { history.RecordAndSave(programFolder, "Yet another"); });

    std::printf("comment history: %d entries, %zu bytes, %zu in the list after the merge\n", kEntries, bytes,
                history.Entries().size());
    std::printf("  load at activation (read, parse):           %8.1f ms\n", load);
    std::printf("  then order and hand over, %5d steps:       %8.1f ms, the longest %.1f ms\n", steps, rest,
                longestStep);
    std::printf("  save with a new comment (merge, write):     %8.1f ms\n", save);
    std::printf("  save with nothing new:                      %8.1f ms\n", resave);
    std::printf("  save merging 1,000 entries of another client:%7.1f ms\n", merge);
    fs::remove_all(folder);
    return history.Entries().size() == kEntries + 1002 ? 0 : 1;
}
