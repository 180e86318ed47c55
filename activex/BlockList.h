#pragma once
// The ActiveX block list (setting "xpath", "xblk.bx" beside the program): the
// unwanted programs the user may exempt from ActiveX protection, each with
// its class identifiers. Plain markup: <Brindlex>, an <Adware Name="..."> per
// program ("NAME" when "Name" is empty), a <CLSID Key="..."/> per identifier.
#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"

namespace activex {

// `ActiveXItem`: one row of "ActiveX Controls".
struct ActiveXItem {
    std::string name;
    std::vector<std::string> classIds;
};

struct BlockList {
    std::vector<ActiveXItem> items;
    // Why there are no items: empty when the file was read and parsed (even
    // if it lists nothing).
    std::string problem;
};

// Larger files are refused unread.
inline constexpr std::uint64_t kMaxBlockListBytes = 16u << 20;

// A document that does not parse, or whose element is not "Brindlex", lists
// nothing; `problem` then says why.
BlockList ParseBlockList(std::string_view markup);
// Reads and parses the file; a missing, unreadable or oversized file lists
// nothing and says so, with its path.
BlockList ReadBlockList(platform::FileSystem& files, const std::string& path);

// The file named by "xpath", else "xblk.bx" in the program's folder.
std::string BlockListPath(platform::System& system);

}  // namespace activex
