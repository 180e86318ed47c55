#pragma once
// The startup shield ("strupshld"): the Run keys of the current user and of
// the local machine (on 64-bit Windows also the local machine's 32-bit
// view, where 32-bit programs write) and the user's and all users' Startup
// folders. A new Run entry (known by its data, the command line) or a new
// file is asked about; a refused one is deleted, and nothing else is
// touched.
#include <string>
#include <vector>

#include "shields/Shield.h"
#include "shields/ShieldSet.h"

namespace shields {

inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunKey32 =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr int kCurrentUserRunKeyId = 4;
inline constexpr int kLocalMachineRunKeyId = 5;
inline constexpr int kLocalMachineRun32KeyId = 6;

class StartupShield : public Shield {
  public:
    explicit StartupShield(ShieldServices& services);

    void Start(WatchRequests& watches) override;
    bool OnNotice(const Notice& notice) override;
    void OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) override;
    // The baselines only: the audit makes no missing key.
    void TakeAuditBaseline(const settings::SettingsStore& store,
                           const ShieldSwitches& switches) override;
    void Audit(std::vector<PlaceStatus>& out) override;

    struct RunHive {
        platform::HKey root;
        std::string path;
        int keyId;
        std::vector<std::string> baseline;  // the data of every value
    };
    struct StartupFolder {
        std::string path;                // without a trailing backslash; empty when unknown
        std::vector<std::string> files;  // full paths
    };

    // `TakeRunBaselines` and `TakeStartupFolderLists`.
    void TakeRunBaselines();
    void TakeStartupFolderLists();
    // `CheckRunKey` for one key id; `CheckStartupFolders`.
    void CheckRunKey(int keyId);
    void CheckStartupFolders();

    const std::vector<RunHive>& hives() const { return hives_; }
    const StartupFolder& userFolder() const { return folders_[0]; }
    const StartupFolder& commonFolder() const { return folders_[1]; }

  private:
    std::vector<std::string> ReadRunData(const RunHive& hive) const;
    // Creates the hive's key when it is missing; false when it cannot be.
    bool EnsureKey(const RunHive& hive);
    std::vector<std::string> ListFiles(const std::string& folder) const;
    void CheckFolder(StartupFolder& folder);

    ShieldServices& services_;
    std::vector<RunHive> hives_;
    StartupFolder folders_[2];
};

}  // namespace shields
