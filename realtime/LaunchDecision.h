#pragma once
// What the program answers to a launch query: the executable is looked up
// among the Reference file's executables; a known one is blocked or allowed
// by the user's "BlockExe" and "IgnoreExe" lists or by asking the user.
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Text.h"
#include "refdb/ReferenceDatabase.h"
#include "settings/SettingsStore.h"

namespace realtime {

inline constexpr char kBlockList[] = "BlockExe";
inline constexpr char kIgnoreList[] = "IgnoreExe";
inline constexpr char kListSeparator = '?';

// The executable a query is about: its file name and its folder (no trailing
// backslash).
struct LaunchTarget {
    std::string name;
    std::string folder;
    std::string FullPath() const { return folder + "\\" + name; }
};

// When the executable is the shell itself, the caller text names what the
// shell was asked to start.
LaunchTarget ResolveTarget(std::string_view caller, std::string_view executable);

// The executables of the database by file name and folder, case-insensitive,
// keeping the first record of the database order for each pair.
class LaunchIndex {
  public:
    void Rebuild(const std::vector<refdb::ExeRecord>& executables);
    const refdb::ExeRecord* Find(const LaunchTarget& target) const;
    std::size_t size() const { return byKey_.size(); }

  private:
    std::unordered_map<std::string, const refdb::ExeRecord*> byKey_;
};

// The "?"-separated path lists. They are read whole, whatever their length,
// because the settings store reads only up to 259 bytes and a longer list
// would otherwise look empty and be replaced by its newest entry.
class ExeLists {
  public:
    explicit ExeLists(platform::System& system) : system_(system) {}

    // False when the list cannot be read (absent, not text).
    bool Read(std::string_view list, std::string* value) const;
    bool Contains(std::string_view list, std::string_view path) const;
    // Adds a path at the end; an unreadable list becomes the path alone.
    bool Append(std::string_view list, std::string_view path);

  private:
    platform::System& system_;
};

inline constexpr char kFilterModuleName[] = "butils.dll";

// The filter module beside the program: its folder without trailing
// backslashes, then "\butils.dll".
std::string FilterModulePath(std::string_view programFolder);

// The alert: given the question and a don't-ask-again flag (set to 1 when the
// user ticked the box), returns true when the launch is refused.
using AuthorizeLaunch = std::function<bool(const std::string& question, int* dontAskAgain)>;

// "(%s) is trying to run an executable named (%s), Do you want to run it?"
std::string LaunchQuestion(std::string_view entryName, std::string_view exeName);

// Returns 1 to allow, 0 to block.
int DecideLaunch(std::string_view caller, std::string_view executable, const LaunchIndex& index,
                 ExeLists& lists, const AuthorizeLaunch& authorize);

}  // namespace realtime
