// Prints what a launch query costs the program: the index lookup against a
// Reference file of 60,000 executables, next to a walk of every record (the
// baseline) in the same run. Figures, not a test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "realtime/LaunchDecision.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const refdb::ExeRecord* Walk(const std::vector<refdb::ExeRecord>& records,
                             const realtime::LaunchTarget& target) {
    for (const refdb::ExeRecord& record : records) {
        if (text::EqualsNoCase(record.name, target.name) &&
            text::EqualsNoCase(text::WithoutTrailingBackslash(record.path), target.folder)) {
            return &record;
        }
    }
    return nullptr;
}

}  // namespace

int main() {
    constexpr int kEntries = 60000;
    std::vector<refdb::SpywareEntry> entries(kEntries);
    std::vector<refdb::ExeRecord> records;
    records.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        entries[i].name = "Unwanted " + std::to_string(i);
        records.push_back({"tool" + std::to_string(i) + ".exe",
                           "C:\\Program Files\\Vendor" + std::to_string(i % 977) + "\\", "",
                           &entries[i]});
    }
    // Half the queries hit (spread over the list), half miss.
    std::vector<realtime::LaunchTarget> queries;
    for (int i = 0; i < 200; ++i) {
        const int n = (i * 7919) % kEntries;
        queries.push_back(realtime::ResolveTarget(
            "C:\\Windows\\explorer.exe", "C:\\Program Files\\Vendor" + std::to_string(n % 977) +
                                             "\\" + (i % 2 == 0 ? "tool" : "other") +
                                             std::to_string(n) + ".exe"));
    }

    realtime::LaunchIndex index;
    const auto buildStart = Clock::now();
    index.Rebuild(records);
    const double buildMs =
        std::chrono::duration<double, std::milli>(Clock::now() - buildStart).count();

    std::vector<double> indexRuns, walkRuns;
    std::size_t found = 0;
    for (int run = 0; run < 5; ++run) {
        auto start = Clock::now();
        for (const auto& query : queries)
            found += index.Find(query) != nullptr;
        indexRuns.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
            static_cast<double>(queries.size()));
        start = Clock::now();
        for (const auto& query : queries)
            found += Walk(records, query) != nullptr;
        walkRuns.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
                           static_cast<double>(queries.size()));
    }
    const double indexUs = Median(indexRuns);
    const double walkUs = Median(walkRuns);
    std::printf("executables: %d, index built in %.1f ms\n", kEntries, buildMs);
    std::printf("lookup per launch: index %.3f us, walk of every record %.1f us, ratio %.0fx\n",
                indexUs, walkUs, walkUs / indexUs);
    std::printf("(hits counted: %zu)\n", found);
    return 0;
}
