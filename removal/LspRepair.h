#pragma once
// Winsock provider repair: before a layered service provider's library is
// deleted, its entries leave the Winsock protocol catalog and the remaining
// entries are renumbered so the catalog stays consecutive. Both catalogs are
// repaired: the one of 64-bit programs ("Catalog_Entries64") when it exists.
#include <string_view>

#include "platform/Registry.h"

namespace removal {

inline constexpr const char* kProtocolCatalogKey =
    "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9";
inline constexpr const char* kCatalogEntriesName = "Catalog_Entries";
inline constexpr const char* kCatalogEntries64Name = "Catalog_Entries64";
inline constexpr const char* kCatalogCountName = "Num_Catalog_Entries";
inline constexpr const char* kCatalogCount64Name = "Num_Catalog_Entries64";
inline constexpr const char* kPackedCatalogItemName = "PackedCatalogItem";

// Deletes every catalog entry whose provider path contains `providerPath`
// (case-sensitive), then renumbers the catalog. Never raises; without write
// access nothing changes.
void RemoveLspEntries(platform::Registry& registry, std::string_view providerPath);

// Renumbers the entries of one catalog ("Catalog_Entries" or
// "Catalog_Entries64") 1, 2, ... in their numeric order and writes the
// matching count. An entry is copied to its new number before the old one is
// deleted, so a failure never loses one; the count written is always the
// number of entries present.
void RenumberCatalog(platform::Registry& registry,
                     std::string_view entriesName = kCatalogEntriesName,
                     std::string_view countName = kCatalogCountName);

}  // namespace removal
