#include "removal/LspRepair.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "registry/RegistryKey.h"

namespace removal {
namespace {

// A failed move is tried again in a further pass; a lasting failure leaves
// the entry under its old number.
constexpr int kRenumberPasses = 3;

std::string EntriesPath(std::string_view entriesName) {
    std::string path = kProtocolCatalogKey;
    path += '\\';
    path += entriesName;
    return path;
}

std::string EntryName(unsigned number) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%012u", number);
    return buffer;
}

long NumberOf(const std::string& name) {
    return std::strtol(name.c_str(), nullptr, 10);
}

// Quicksort on the numeric value with the middle element as the pivot.
void SortNumerically(std::vector<std::string>& names, long low, long high) {
    if (low >= high)
        return;
    const long pivot = NumberOf(names[static_cast<std::size_t>((low + high) / 2)]);
    long i = low;
    long j = high;
    while (i <= j) {
        while (NumberOf(names[static_cast<std::size_t>(i)]) < pivot)
            ++i;
        while (NumberOf(names[static_cast<std::size_t>(j)]) > pivot)
            --j;
        if (i <= j) {
            std::swap(names[static_cast<std::size_t>(i)], names[static_cast<std::size_t>(j)]);
            ++i;
            --j;
        }
    }
    SortNumerically(names, low, j);
    SortNumerically(names, i, high);
}

std::vector<std::string> SubkeyNames(const CRegistryKey& key) {
    std::vector<std::string> names;
    for (auto it = key.BeginSubkeyIteration(); it != key.EndSubkeyIteration(); ++it)
        names.push_back(*it);
    return names;
}

// The provider path at the start of a packed catalog record.
std::string ProviderPath(const CRegistryKey::Value& value) {
    const std::vector<std::uint8_t>& data = value.GetData();
    std::string path;
    for (std::uint8_t byte : data) {
        if (byte == 0)
            break;
        path += static_cast<char>(byte);
    }
    return path;
}

// Moves one entry to `newName`: read, create, write, and only then delete the
// old key. On any failure the new key is removed again and the old one stays.
bool MoveEntry(const CRegistryKey& entries, const std::string& oldName,
               const std::string& newName) {
    bool created = false;
    try {
        const CRegistryKey::Value value =
            entries.OpenKey(oldName).QueryValue(kPackedCatalogItemName);
        CRegistryKey target = entries.CreateKey(newName);
        created = true;
        target.SetValue(value);
        target.Close();
        entries.DeleteKeyAndSubkeys(oldName);
        return true;
    } catch (const CRegistryKey::Exception&) {
        if (created) {
            try {
                entries.DeleteKeyAndSubkeys(newName);
            } catch (const CRegistryKey::Exception&) {
                // The old entry is still there; a duplicate is the lesser harm
                // and the count below reflects it.
            }
        }
        return false;
    }
}

// One renumbering pass; true when every entry has its consecutive number.
bool RenumberPass(const CRegistryKey& entries) {
    std::vector<std::string> names = SubkeyNames(entries);
    if (!names.empty())
        SortNumerically(names, 0, static_cast<long>(names.size()) - 1);
    bool complete = true;
    unsigned next = 0;
    for (const std::string& name : names) {
        const std::string newName = EntryName(next + 1);
        if (name == newName) {
            ++next;
            continue;
        }
        if (MoveEntry(entries, name, newName)) {
            ++next;
        } else {
            complete = false;
            // Later entries would take numbers this one still holds: leave
            // them too, in their old order.
            break;
        }
    }
    return complete;
}

void RemoveFromCatalog(platform::Registry& registry, std::string_view providerPath,
                       std::string_view entriesName, std::string_view countName) {
    try {
        CRegistryKey entries(registry, platform::kHkeyLocalMachine, EntriesPath(entriesName));
        std::vector<std::string> matches;
        for (auto it = entries.BeginSubkeyIteration(); it != entries.EndSubkeyIteration(); ++it) {
            try {
                const CRegistryKey::Value value = it.OpenKey().QueryValue(kPackedCatalogItemName);
                if (value.GetType() != platform::kRegBinary)
                    continue;
                if (ProviderPath(value).find(providerPath) != std::string::npos)
                    matches.push_back(*it);
            } catch (const CRegistryKey::Exception&) {
                // An entry that cannot be read is not a match.
            }
        }
        for (const std::string& name : matches) {
            try {
                entries.DeleteKeyAndSubkeys(name);
            } catch (const CRegistryKey::Exception&) {
            }
        }
        entries.Close();
        if (!matches.empty())
            RenumberCatalog(registry, entriesName, countName);
    } catch (const CRegistryKey::Exception&) {
        // No catalog or no access: nothing to repair.
    }
}

}  // namespace

void RenumberCatalog(platform::Registry& registry, std::string_view entriesName,
                     std::string_view countName) {
    try {
        CRegistryKey entries(registry, platform::kHkeyLocalMachine, EntriesPath(entriesName));
        for (int pass = 0; pass < kRenumberPasses; ++pass) {
            if (RenumberPass(entries))
                break;
        }
        const auto present = static_cast<std::uint32_t>(SubkeyNames(entries).size());
        CRegistryKey catalog(registry, platform::kHkeyLocalMachine, kProtocolCatalogKey);
        catalog.SetValue(countName, present);
    } catch (const CRegistryKey::Exception&) {
        // Without access the catalog stays as it is.
    }
}

void RemoveLspEntries(platform::Registry& registry, std::string_view providerPath) {
    RemoveFromCatalog(registry, providerPath, kCatalogEntriesName, kCatalogCountName);
    RemoveFromCatalog(registry, providerPath, kCatalogEntries64Name, kCatalogCount64Name);
}

}  // namespace removal
