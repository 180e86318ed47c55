#pragma once
// The hosts file shield: a snapshot of the file's address lines, the first
// line that is not in it, and the rewrite that takes refused lines out again.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace shields {

// Where the resolver keeps its files: "DataBasePath" under the TCP/IP
// parameters key names the folder (a hijacker may move it), else
// "<Windows>\system32\drivers\etc". The hosts file is "hosts" in it.
std::string HostsFolder(platform::Registry& registry, platform::Environment& environment);
std::string HostsFilePath(platform::Registry& registry, platform::Environment& environment);

// One line of the file as the shield compares it: white space trimmed;
// empty lines and "#" comments are no address lines.
bool IsAddressLine(std::string_view trimmed);

// The name of the file the rewrite writes before moving it over the hosts
// file; it lies in the same folder, so the move is a rename.
std::string HostsRewritePath(std::string_view hostsPath);

class HostsShield {
  public:
    // Asks about one new line; true when the user refused it.
    using Ask = std::function<bool(const std::string& line)>;

    enum class Outcome {
        kNothingNew,  // no new address line, or the file cannot be read
        kAccepted,    // the snapshot was retaken
        kRemoved,     // the file was rewritten without the new lines
        kKept,        // refused, but the rewrite failed: the file is as it was
    };

    explicit HostsShield(platform::FileSystem& files) : files_(files) {}

    // Replaces the snapshot with the address lines of `path` and remembers
    // the path; false (snapshot empty) when the file cannot be read.
    bool TakeHostsSnapshot(std::string_view path);
    // The first address line of the file that is in no snapshot line
    // (case-insensitive); nothing when there is none or the file cannot be
    // read.
    std::optional<std::string> FindNewLine() const;
    // Every such line, in file order.
    std::vector<std::string> FindNewLines() const;
    // Asks about the first new line. Accepted retakes the snapshot (every
    // other new line is accepted with it); refused rewrites the file without
    // any line that is not in the snapshot.
    Outcome CheckHostsFile(const Ask& ask);
    // The rewrite on its own: keeps comments and snapshot lines byte for
    // byte with their own line ends, drops blank and unknown lines, writes
    // beside the file and moves the result over it only when it is complete.
    // A read-only file is rewritten and stays read-only. The original is
    // untouched on every failure.
    platform::Status RemoveUnknownLines();

    const std::string& path() const { return path_; }
    std::size_t snapshotSize() const { return snapshot_.size(); }
    bool InSnapshot(std::string_view line) const { return snapshot_.count(line) != 0; }

  private:
    platform::Status WriteBesideAndReplace(std::string_view contents);

    platform::FileSystem& files_;
    std::string path_;
    std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase> snapshot_;
};

}  // namespace shields
