// Times loading a large generated Reference file from memory: unscrambling,
// parsing, macro expansion and indexes. Prints MB/s, entries/s and the memory
// the loaded database takes, as medians of several runs.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/tests/support/TestSystem.h"
#include "refdb/ReferenceDatabase.h"
#include "refdb/Scramble.h"

namespace {

std::string Hex32(unsigned value) {
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "%08X%08X%08X%08X", value, value * 2654435761u,
                  value ^ 0x5A5A5A5Au, value * 40503u);
    return buffer;
}

// About 500 bytes of markup per entry, in the mix of a real database.
std::string Generate(int entries) {
    std::string out =
        "<?xml version=\"1.0\"?>\r\n<BX TOTAL=\"" + std::to_string(entries) + "\">\r\n";
    out.reserve(static_cast<std::size_t>(entries) * 520);
    for (int i = 0; i < entries; ++i) {
        std::string n = std::to_string(i);
        out += "<SW NAME=\"Generated Adware " + n + "\">\r\n<FILES>\r\n";
        out += "<FILE NAME=\"gen" + n + ".exe\" PATH=\":PFDir:\\Gen" + n + "\" MD5=\"" +
               Hex32(static_cast<unsigned>(i)) + "\"/>\r\n";
        if (i % 3 == 0)
            out += "<FILE NAME=\"gen" + n + ".dll\" PATH=\":Sys32Dir:\"/>\r\n";
        out += "</FILES>\r\n";
        if (i % 4 == 0)
            out += "<COOKIES><COOKIE NAME=\"gen" + n + "\"/></COOKIES>\r\n";
        out +=
            "<REGISTRY><KEYS><REGKEY MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"SOFTWARE\\Generated\" "
            "VALUE=\"Gen" +
            n + "\"/></KEYS>\r\n";
        out +=
            "<VALUES><REGVALUE MAIN=\"HKEY_CURRENT_USER\" "
            "SUB=\"Software\\Microsoft\\Windows\\CurrentVersion\\Run\" VALUE=\"Gen" +
            n + "\"/></VALUES></REGISTRY>\r\n";
        out += "<DANGER_LEVEL>" + std::to_string(i % 3) + "</DANGER_LEVEL>\r\n";
        out += "<DESCRIPTION>Generated entry " + n +
               " shows advertisements and reports browsing habits to its "
               "makers.</DESCRIPTION>\r\n</SW>\r\n";
    }
    out += "</BX>\r\n";
    return out;
}

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

}  // namespace

int main() {
    constexpr int kEntries = 60000;
    constexpr int kRuns = 5;
    std::string markup = Generate(kEntries);
    std::string scrambled = refdb::Scrambled(markup);
    double megabytes = static_cast<double>(scrambled.size()) / (1024.0 * 1024.0);

    testsupport::TestSystem host;
    std::vector<double> seconds;
    std::size_t memory = 0;
    for (int run = 0; run < kRuns; ++run) {
        refdb::ReferenceDatabase db(host.system());
        std::string copy = scrambled;  // warm and owned, as read from disk
        std::size_t before = HeapInUse();
        auto start = std::chrono::steady_clock::now();
        refdb::Scramble(copy);
        bool ok = db.LoadMarkup(std::move(copy), "");
        auto end = std::chrono::steady_clock::now();
        if (!ok || db.entries().size() != static_cast<std::size_t>(kEntries)) {
            std::fprintf(stderr, "load failed: %s\n", db.LastError().c_str());
            return 1;
        }
        memory = HeapInUse() - before;
        seconds.push_back(std::chrono::duration<double>(end - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    double median = seconds[seconds.size() / 2];
    std::printf("Reference file: %d entries, %.1f MB of markup\n", kEntries, megabytes);
    std::printf("load (median of %d): %.3f s, %.1f MB/s, %.0f entries/s\n", kRuns, median,
                megabytes / median, kEntries / median);
    std::printf("loaded database: %.1f MB, %.2fx the markup size\n",
                static_cast<double>(memory) / (1024.0 * 1024.0),
                static_cast<double>(memory) / static_cast<double>(scrambled.size()));
    return 0;
}
