#pragma once
// The browser's own order of the Favorites menu: the REG_BINARY "Order"
// value of "...\Explorer\MenuOrder\Favorites". The blob comes from the
// registry, so anything may be in it; the reader never reads past it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace shields {

inline constexpr const char* kFavoritesMenuOrderKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Favorites";
inline constexpr const char* kMenuOrderValue = "Order";

// Windows XP and Server 2003 store each item's name twice (a short and a
// long one); every other system stores it once.
enum class OrderNameForm { kPlain, kXp };
OrderNameForm OrderNameFormFor(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor);

struct OrderItem {
    std::uint32_t position = 0;
    bool isLink = false;
    std::string name;  // UTF-8
};

// The items of the blob in position order, one per position below the item
// count (a later item of the same position replaces an earlier one). An
// item whose name is empty or could leave the Favorites folder (a path
// separator, a drive colon, "." or "..") is left out, as is one that does
// not fit in the blob.
std::vector<OrderItem> ReadMenuOrder(std::span<const std::uint8_t> blob, OrderNameForm form);

// Names stored in the ANSI code page are read as Windows-1252, the code page
// of the Western systems that wrote such blobs.
std::string Windows1252ToUtf8(std::span<const std::uint8_t> bytes);

}  // namespace shields
