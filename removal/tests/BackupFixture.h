#pragma once
// A host platform whose "regedit.exe" works on the test registry, a fixed
// clock, and helpers to lay out files and detections.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/host/HostProcesses.h"
#include "platform/host/RegFile.h"
#include "platform/tests/support/TestSystem.h"
#include "refdb/ReferenceDatabase.h"

namespace removal::testing {

class BackupFixture : public ::testing::Test {
  protected:
    BackupFixture() {
        processes_.EmulateRegistryEditor(test_.registry(), test_.files());
        platform::LocalTime time{2007, 7, 4, 9, 5, 30};
        test_.clock().SetFixed(time);
    }

    platform::System& system() { return system_; }
    platform::host::HostProcesses& processes() { return processes_; }
    testsupport::TestSystem& test() { return test_; }

    void WriteFile(std::string_view windowsPath, std::string_view contents) {
        const std::filesystem::path path = test_.HostPath(windowsPath);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    std::string ReadFile(std::string_view windowsPath) const {
        std::ifstream in(test_.HostPath(windowsPath), std::ios::binary);
        std::ostringstream contents;
        contents << in.rdbuf();
        return contents.str();
    }
    bool Exists(std::string_view windowsPath) const {
        return std::filesystem::exists(test_.HostPath(windowsPath));
    }
    void ImportReg(std::string_view regText) {
        ASSERT_EQ(platform::host::ImportRegText(test_.registry(), regText, nullptr),
                  platform::kSuccess);
    }
    // The key as REGEDIT4 text; empty when missing.
    std::string ExportReg(platform::HKey root, std::string_view path) {
        std::string out;
        if (platform::host::ExportRegText(test_.registry(), root, path,
                                          platform::host::RegFormat::kRegedit4,
                                          &out) != platform::kSuccess)
            return {};
        return out;
    }

    static refdb::FileItem DetectedFile(std::string name, std::string folder) {
        refdb::FileItem file;
        file.name = std::move(name);
        file.path = std::move(folder);
        file.detected = true;
        return file;
    }

  private:
    testsupport::TestSystem test_;
    platform::host::HostProcesses processes_{testsupport::kProgramFile};
    platform::System system_{test_.registry(),    test_.files(), processes_,
                             test_.environment(), test_.clock(), test_.system().network};
};

inline constexpr const char* kArchive =
    "C:\\Program Files\\Brindlex\\BrindlexBackup\\7,4,2007_9,5,30.zip";
inline constexpr const char* kScratch = "C:\\Windows\\Temp\\BrindlexBkupTemp";

}  // namespace removal::testing
