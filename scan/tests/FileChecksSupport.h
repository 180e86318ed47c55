#pragma once
// A host machine with a database loaded from markup and an observer that
// records what the file checks report, for the file-check tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/tests/support/TestSystem.h"
#include "refdb/ReferenceDatabase.h"
#include "scan/FileChecks.h"
#include "scan/ScanContext.h"
#include "settings/SettingsStore.h"

namespace filechecks {

inline constexpr std::size_t kMiB = 1048576;

// MD5 values computed with md5sum.
inline constexpr const char* kPayloadMd5 = "28F072F3DFA77D58B2828708C375EA2D";  // kPayload
inline constexpr const char* kMemberMd5 = "86BB114EF5388C6C5A3E1C3BF0BF3EE4";   // kMember
inline constexpr std::string_view kPayload = "adware payload\n";
inline constexpr std::string_view kMember = "bundled adware member\n";

// Bytes that do not repeat within a block: (i * 131 + seed) mod 251.
inline std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed) % 251);
    return bytes;
}

inline std::string Document(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<BX TOTAL=\"1\">\n" + body + "</BX>\n";
}

// One entry; `items` holds its FILES, COOKIES or DIRECTORIES sections.
inline std::string Program(const std::string& name, const std::string& items) {
    return "<SW NAME=\"" + name + "\">\n" + items +
           "<DANGER_LEVEL>1</DANGER_LEVEL>\n<DESCRIPTION>Test entry.</DESCRIPTION>\n</SW>\n";
}

inline std::string Files(const std::string& items) {
    return "<FILES>\n" + items + "</FILES>\n";
}

inline std::string File(const std::string& name, const std::string& path,
                        const std::string& md5 = "") {
    std::string tag = "<FILE NAME=\"" + name + "\"";
    if (!path.empty())
        tag += " PATH=\"" + path + "\"";
    if (!md5.empty())
        tag += " MD5=\"" + md5 + "\"";
    return tag + "/>\n";
}

// What the observer was told, in order.
struct FileHit {
    refdb::SpywareEntry* entry = nullptr;
    refdb::FileItem* item = nullptr;
    std::string location;  // path and name of the item when it was reported
};

class Recorder : public scan::ScanObserver {
  public:
    void OnProgress(std::string_view text, int count) override {
        progress.emplace_back(text);
        events.push_back("progress " + std::string(text));
        lastCount = count;
        if (onProgress)
            onProgress(text);
    }
    void OnFile(refdb::SpywareEntry& entry, refdb::FileItem& item) override {
        files.push_back({&entry, &item, item.path + "\\" + item.name});
        events.push_back("file " + item.path + "\\" + item.name);
    }
    void OnCookie(refdb::SpywareEntry& entry, refdb::CookieItem& item) override {
        cookies.emplace_back(&entry, &item);
        events.push_back("cookie " + item.name + " " + item.foundPath);
    }
    void OnDirectory(refdb::SpywareEntry& entry, refdb::DirectoryItem& item) override {
        directories.emplace_back(&entry, &item);
        events.push_back("directory " + item.path + "\\" + item.name);
    }
    void OnRegKey(refdb::SpywareEntry&, refdb::RegKeyItem&) override { ADD_FAILURE(); }
    void OnRegValue(refdb::SpywareEntry&, refdb::RegValueItem&) override { ADD_FAILURE(); }
    void OnRegData(refdb::SpywareEntry&, refdb::RegDataItem&) override { ADD_FAILURE(); }
    void OnFinished() override { ADD_FAILURE(); }

    // Progress texts that start with `prefix`.
    std::vector<std::string> ProgressStartingWith(std::string_view prefix) const {
        std::vector<std::string> out;
        for (const std::string& text : progress) {
            if (text.starts_with(prefix))
                out.push_back(text);
        }
        return out;
    }
    std::vector<std::string> FileLocations() const {
        std::vector<std::string> out;
        for (const FileHit& hit : files)
            out.push_back(hit.location);
        return out;
    }
    void Clear() {
        progress.clear();
        events.clear();
        files.clear();
        cookies.clear();
        directories.clear();
    }

    std::vector<std::string> progress;
    std::vector<std::string> events;
    std::vector<FileHit> files;
    std::vector<std::pair<refdb::SpywareEntry*, refdb::CookieItem*>> cookies;
    std::vector<std::pair<refdb::SpywareEntry*, refdb::DirectoryItem*>> directories;
    int lastCount = 0;
    std::function<void(std::string_view)> onProgress;
};

class FileChecksFixture : public ::testing::Test {
  protected:
    // Creates the file and the folders above it on the host.
    void Write(std::string_view windowsPath, std::string_view contents) {
        const std::filesystem::path path = host.HostPath(windowsPath);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        ASSERT_TRUE(out.good()) << windowsPath;
    }
    void MakeFolder(std::string_view windowsPath) {
        std::filesystem::create_directories(host.HostPath(windowsPath));
    }
    void Load(const std::string& body) {
        ASSERT_TRUE(db.LoadMarkup(Document(body), "")) << db.LastError();
    }
    void SetOption(std::string_view name, std::uint32_t value) {
        ASSERT_TRUE(settings::SettingsStore(host.system()).SetDword(name, value));
    }
    // Stops the scan once the observer has seen `steps` progress steps.
    void StopAfter(std::size_t steps) {
        observer.onProgress = [this, steps](std::string_view) {
            if (observer.progress.size() >= steps)
                context.stopRequested = true;
        };
    }
    refdb::SpywareEntry& EntryNamed(std::string_view name) {
        for (refdb::SpywareEntry& entry : db.entries()) {
            if (entry.name == name)
                return entry;
        }
        ADD_FAILURE() << "no entry " << name;
        return db.entries().front();
    }
    // The checksum and name work lists of every entry, as the scans gather
    // them.
    void GatherWork(scan::ChecksumRefs& checksums, std::vector<scan::NameWork>& names) {
        for (refdb::SpywareEntry& entry : db.entries())
            scan::CheckListedFiles(context, entry, checksums, names);
    }

    testsupport::TestSystem host;
    refdb::ReferenceDatabase db{host.system()};
    Recorder observer;
    scan::ScanContext context{host.system(), db, observer};
};

}  // namespace filechecks
