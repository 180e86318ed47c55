#pragma once
// Windows hive files (SOFTWARE, SYSTEM, NTUSER.DAT, ...) read into and
// written back from a key of the in-memory registry, through hivex.
//
// A hive is read whole when it is loaded; the command then works on the
// in-memory registry with all of its semantics, and Save writes what changed
// below the key back into the hive in one go: the original is first kept as
// "NAME.brindlex-backup" (once: a later save keeps the oldest copy), the new
// hive is written beside it and renamed over the original only once it is
// complete, so a failure at any point leaves a whole hive behind.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"
#include "platform/host/MemoryRegistry.h"

namespace platform::host {

// Suffixes of the files written beside a hive.
inline constexpr std::string_view kHiveBackupSuffix = ".brindlex-backup";
inline constexpr std::string_view kHiveNewSuffix = ".brindlex-new";

// Writes a hive holding only an empty root key to `path` (replacing it).
bool WriteEmptyHive(const std::string& path, std::string* error);

class MountedHive {
  public:
    MountedHive();
    ~MountedHive();
    MountedHive(const MountedHive&) = delete;
    MountedHive& operator=(const MountedHive&) = delete;

    // Opens and checks the hive; false with a message when it does not parse.
    // The file is only ever opened for reading here.
    bool Open(const std::string& file, std::string* error);
    const std::string& file() const { return file_; }
    // Whether the header says the last writer finished (both sequence numbers
    // equal). A hive that was not closed cleanly has changes in its log files
    // that hivex does not apply: writing it would lose them.
    bool CleanlyClosed() const { return clean_; }

    // A DWORD value of a key of the opened hive ('\\'-separated path below
    // its root); false when missing or of another type.
    bool ReadDword(std::string_view keyPath, std::string_view name, std::uint32_t* value) const;

    // Copies the hive's keys and values below root\keyPath (created when
    // missing). `aliases` renames keys directly below the hive's root
    // (hive name -> registry name, e.g. "ControlSet001" -> "CurrentControlSet").
    // False with a message when the hive turns out damaged or a registry call
    // fails.
    bool Load(MemoryRegistry& registry, HKey root, std::string keyPath,
              std::map<std::string, std::string> aliases, std::string* error);

    // Leaves root\keyPath\relativePath out of Save (another hive is mounted
    // there): it is neither written into this hive nor removed from it.
    void Exclude(std::string relativePath) { excluded_.push_back(std::move(relativePath)); }

    // Writes the registry's keys below the mount back into the hive as
    // described above. Nothing is written when nothing changed; `changed`
    // (may be null) tells which. False with a message on failure.
    bool Save(MemoryRegistry& registry, bool* changed, std::string* error);

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
    std::string file_;
    std::vector<std::string> excluded_;
    bool clean_ = true;
};

}  // namespace platform::host
