// Times the deep scan of a generated tree against
// `find DIR -type f -size -6M -print0 | xargs -0 md5sum`, which reads and
// hashes the same files. Both run warm (every file read once right before
// each timing); each figure is the median of three runs.
//
//   scan_deep_benchmark [files [megabytes [folder]]]
//
// Defaults: 40000 files, 2000 MB, /tmp/bx-deepscan-bench (made and removed).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/tests/support/TestSystem.h"
#include "refdb/ReferenceDatabase.h"
#include "scan/FileChecks.h"
#include "scan/ScanContext.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = 1048576;
constexpr std::uint64_t kSmallest = 100;
constexpr std::uint64_t kLargest = 2 * kMiB;
constexpr int kLargeFiles = 4;  // 7 MiB each: skipped by both sides
constexpr int kChecksums = 5000;
constexpr int kNames = 500;
constexpr int kRuns = 3;

// xorshift64*: fast, reproducible file contents and sizes.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 2685821657736338717ull;
    }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

  private:
    std::uint64_t state_;
};

struct Tree {
    std::vector<fs::path> files;
    std::uint64_t hashedBytes = 0;  // in files below 6 MiB
    int hashedFiles = 0;
};

void WriteRandom(const fs::path& path, std::uint64_t size, Random& random,
                 std::vector<std::uint64_t>& chunk) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    while (size > 0) {
        const std::uint64_t words = std::min<std::uint64_t>(chunk.size(), (size + 7) / 8);
        for (std::uint64_t i = 0; i < words; ++i)
            chunk[i] = random.Next();
        const std::uint64_t bytes = std::min<std::uint64_t>(words * 8, size);
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(bytes));
        size -= bytes;
    }
}

// Sizes from 100 B to 2 MiB, most of them small: size = smallest + range * u^k
// has the mean smallest + range / (k + 1), and k is chosen to hit the total.
Tree BuildTree(const fs::path& root, int fileCount, std::uint64_t totalBytes) {
    Tree tree;
    Random random(20240601);
    std::vector<std::uint64_t> chunk(8192);
    const int smallFiles = std::max(1, fileCount - kLargeFiles);
    const double mean = static_cast<double>(totalBytes) / smallFiles;
    const double range = static_cast<double>(kLargest - kSmallest);
    const double exponent = std::max(0.0, range / std::max(1.0, mean - kSmallest) - 1.0);
    for (int i = 0; i < fileCount; ++i) {
        // 20 folders of 10 subfolders each.
        const fs::path folder =
            root / ("dir" + std::to_string(i % 20)) / ("sub" + std::to_string((i / 20) % 10));
        if (i < 200)
            fs::create_directories(folder);
        const fs::path path = folder / ("file" + std::to_string(i) + ".bin");
        std::uint64_t size = 0;
        if (i >= smallFiles) {
            size = 7 * kMiB;
        } else {
            size =
                kSmallest + static_cast<std::uint64_t>(range * std::pow(random.Unit(), exponent));
            tree.hashedBytes += size;
            ++tree.hashedFiles;
        }
        WriteRandom(path, size, random, chunk);
        tree.files.push_back(path);
    }
    return tree;
}

std::string Md5Hex(Random& random) {
    char text[33];
    std::snprintf(text, sizeof(text), "%016llX%016llX",
                  static_cast<unsigned long long>(random.Next()),
                  static_cast<unsigned long long>(random.Next()));
    return text;
}

// kChecksums checksum items, a few of them the checksums of real files, and
// kNames name items, a few of them real file names.
std::string BuildMarkup(const Tree& tree, platform::FileSystem& files,
                        const std::string& windowsRoot, const fs::path& hostRoot) {
    Random random(77);
    std::vector<unsigned char> buffer;
    std::string markup =
        "<?xml version=\"1.0\"?>\n<BX TOTAL=\"" + std::to_string(kChecksums + kNames) + "\">\n";
    for (int i = 0; i < kChecksums + kNames; ++i) {
        std::string item;
        if (i < kChecksums) {
            std::string md5 = Md5Hex(random);
            if (i % 100 == 0) {
                const fs::path& real = tree.files[static_cast<std::size_t>(i) % tree.files.size()];
                std::string windows = windowsRoot + fs::relative(real, hostRoot).string();
                std::replace(windows.begin(), windows.end(), '/', '\\');
                md5 = scan::FileChecksum(files, windows, buffer);
            }
            item = "<FILE NAME=\"listed" + std::to_string(i) + ".exe\" MD5=\"" + md5 + "\"/>";
        } else {
            const int n = i - kChecksums;
            std::string name = "named" + std::to_string(n) + ".dll";
            if (n % 50 == 0)
                name = tree.files[static_cast<std::size_t>(n * 7) % tree.files.size()]
                           .filename()
                           .string();
            item = "<FILE NAME=\"" + name + "\"/>";
        }
        markup += "<SW NAME=\"Bench " + std::to_string(i) + "\"><FILES>" + item +
                  "</FILES><DANGER_LEVEL>1</DANGER_LEVEL><DESCRIPTION>x</DESCRIPTION></SW>\n";
    }
    return markup + "</BX>\n";
}

class CountingObserver : public scan::ScanObserver {
  public:
    void OnProgress(std::string_view, int) override { ++steps; }
    void OnFile(refdb::SpywareEntry&, refdb::FileItem&) override { ++found; }
    void OnCookie(refdb::SpywareEntry&, refdb::CookieItem&) override {}
    void OnDirectory(refdb::SpywareEntry&, refdb::DirectoryItem&) override {}
    void OnRegKey(refdb::SpywareEntry&, refdb::RegKeyItem&) override {}
    void OnRegValue(refdb::SpywareEntry&, refdb::RegValueItem&) override {}
    void OnRegData(refdb::SpywareEntry&, refdb::RegDataItem&) override {}
    void OnFinished() override {}
    long steps = 0;
    long found = 0;
};

// Reads every file once, so both sides start from the page cache.
void Warm(const Tree& tree) {
    std::vector<char> buffer(1 << 20);
    for (const fs::path& path : tree.files) {
        std::ifstream in(path, std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
               in.gcount() > 0) {
        }
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double Seconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int fileCount = argc > 1 ? std::max(kLargeFiles + 1, std::atoi(argv[1])) : 40000;
    const std::uint64_t megabytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 2000;
    const fs::path root = argc > 3 ? fs::path(argv[3]) : fs::path("/tmp/bx-deepscan-bench");
    if (fs::exists(root)) {
        std::fprintf(stderr, "%s exists; remove it or name another folder\n", root.c_str());
        return 1;
    }

    std::printf("building %d files, about %llu MB, in %s\n", fileCount,
                static_cast<unsigned long long>(megabytes), root.c_str());
    const Tree tree = BuildTree(root, fileCount, megabytes * 1000000ull);
    const double hashedMb = static_cast<double>(tree.hashedBytes) / 1e6;

    testsupport::TestSystem host;
    host.files().MapDrive('E', root.string());
    refdb::ReferenceDatabase db(host.system());
    if (!db.LoadMarkup(BuildMarkup(tree, host.files(), "E:\\", root), "")) {
        std::fprintf(stderr, "database: %s\n", db.LastError().c_str());
        fs::remove_all(root);
        return 1;
    }
    std::vector<scan::NameWork> nameWork;
    for (refdb::SpywareEntry& entry : db.entries()) {
        for (refdb::FileItem& item : entry.files) {
            if (item.md5.empty())
                nameWork.push_back({item.name, &entry, &item});
        }
    }

    std::vector<double> ours;
    long steps = 0;
    long found = 0;
    for (int run = 0; run < kRuns; ++run) {
        CountingObserver observer;
        scan::ScanContext context(host.system(), db, observer);
        Warm(tree);
        ours.push_back(Seconds([&] {
            const scan::ChecksumIndex checksums(db.checksums());
            const scan::NameIndex names(nameWork);
            scan::DeepScan(context, "E:\\", checksums, names);
        }));
        steps = observer.steps;
        found = observer.found;
    }

    const std::string command =
        "find '" + root.string() + "' -type f -size -6M -print0 | xargs -0 md5sum > /dev/null";
    std::vector<double> baseline;
    for (int run = 0; run < kRuns; ++run) {
        Warm(tree);
        baseline.push_back(Seconds([&] {
            if (std::system(command.c_str()) != 0)
                std::fprintf(stderr, "baseline command failed\n");
        }));
    }
    fs::remove_all(root);

    const double ourSeconds = Median(ours);
    const double baseSeconds = Median(baseline);
    std::printf("tree: %d files, %d below 6 MiB holding %.1f MB; %d checksums, %d names\n",
                fileCount, tree.hashedFiles, hashedMb, kChecksums, kNames);
    std::printf(
        "deep scan        (median of %d): %.3f s, %.0f files/s, %.1f MB/s "
        "(%ld steps, %ld found)\n",
        kRuns, ourSeconds, fileCount / ourSeconds, hashedMb / ourSeconds, steps, found);
    std::printf("find|xargs md5sum (median of %d): %.3f s, %.0f files/s, %.1f MB/s\n", kRuns,
                baseSeconds, fileCount / baseSeconds, hashedMb / baseSeconds);
    std::printf("ratio (md5sum time / deep scan time): %.2f\n", baseSeconds / ourSeconds);
    return 0;
}
