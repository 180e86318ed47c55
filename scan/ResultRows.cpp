#include "scan/ResultRows.h"

#include <type_traits>

namespace scan {

namespace {

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
    for (std::size_t pos = s.find(from); pos != std::string::npos;
         pos = s.find(from, pos + to.size())) {
        s.replace(pos, from.size(), to);
    }
}

std::string Joined(std::string_view first, std::string_view second) {
    std::string joined;
    joined.reserve(first.size() + 1 + second.size());
    joined.append(first);
    joined += '\\';
    joined.append(second);
    return joined;
}

template <typename Item>
constexpr refdb::ItemKind KindOf() {
    return static_cast<refdb::ItemKind>(DetectionPointer(static_cast<Item*>(nullptr)).index());
}

}  // namespace

const char* KindText(refdb::ItemKind kind) {
    switch (kind) {
        case refdb::ItemKind::kFile:
            return "File";
        case refdb::ItemKind::kCookie:
            return "Cookie";
        case refdb::ItemKind::kDirectory:
            return "Directory";
        case refdb::ItemKind::kRegKey:
            return "RegKey";
        case refdb::ItemKind::kRegValue:
            return "RegValue";
        case refdb::ItemKind::kRegValueData:
            return "RegValueData";
        case refdb::ItemKind::kPrefsLine:
            return "PrefsLine";
    }
    return "";
}

std::string FileLocation(const refdb::FileItem& item) {
    std::string location = Joined(item.path, item.name);
    // A member of a zip archive is named "archive.zip?member".
    ReplaceAll(location, "?", "->");
    return location;
}

std::string CookieLocation(const refdb::CookieItem& item) {
    // The scan records the file it found; before that only the site is known.
    return item.foundPath.empty() ? item.name : item.foundPath;
}

std::string DirectoryLocation(const refdb::DirectoryItem& item) {
    std::string location = Joined(item.path, item.name);
    // A listed path may end in a backslash of its own.
    ReplaceAll(location, "\\\\", "\\");
    return location;
}

std::string RegKeyLocation(const refdb::RegKeyItem& item) {
    return Joined(refdb::RootName(item.root), item.keyPath);
}

std::string RegValueLocation(const refdb::RegValueItem& item) {
    return Joined(Joined(refdb::RootName(item.root), item.keyPath), item.valueName);
}

std::string RegDataLocation(const refdb::RegDataItem& item) {
    // With "*" as the listed name, the value that held the data is shown.
    const std::string& valueName = item.matchedName.empty() ? item.valueName : item.matchedName;
    return Joined(refdb::RootName(item.root), item.keyPath) + " (Value : " + valueName +
           ") (Data : " + item.data + ")";
}

std::string PrefsLineLocation(const refdb::PrefsLineItem& item) {
    return item.path + " (Pref : " + item.prefName + ") (Data : " + item.data + ")";
}

template <typename Item>
bool ResultRows::Add(refdb::SpywareEntry& entry, Item& item, std::string (*locate)(const Item&)) {
    constexpr refdb::ItemKind kind = KindOf<Item>();
    if (entry.ignored) {
        item.detected = false;
        return false;
    }
    std::string location = locate(item);
    if (kind == refdb::ItemKind::kFile && locations_.contains(location))
        return false;
    locations_.insert(location);
    ResultRow& row = rows_.emplace_back();
    row.item = entry.name;
    row.location = std::move(location);
    row.type = KindText(kind);
    row.danger = refdb::DangerText(entry.dangerLevel);
    row.checked = true;
    row.data.entry = &entry;
    row.data.item = &item;
    ++total_;
    ++counts_[static_cast<std::size_t>(kind)];
    return true;
}

bool ResultRows::AddFile(refdb::SpywareEntry& entry, refdb::FileItem& item) {
    return Add(entry, item, &FileLocation);
}

bool ResultRows::AddCookie(refdb::SpywareEntry& entry, refdb::CookieItem& item) {
    return Add(entry, item, &CookieLocation);
}

bool ResultRows::AddDirectory(refdb::SpywareEntry& entry, refdb::DirectoryItem& item) {
    return Add(entry, item, &DirectoryLocation);
}

bool ResultRows::AddRegKey(refdb::SpywareEntry& entry, refdb::RegKeyItem& item) {
    return Add(entry, item, &RegKeyLocation);
}

bool ResultRows::AddRegValue(refdb::SpywareEntry& entry, refdb::RegValueItem& item) {
    return Add(entry, item, &RegValueLocation);
}

bool ResultRows::AddRegData(refdb::SpywareEntry& entry, refdb::RegDataItem& item) {
    return Add(entry, item, &RegDataLocation);
}

bool ResultRows::AddPrefsLine(refdb::SpywareEntry& entry, refdb::PrefsLineItem& item) {
    return Add(entry, item, &PrefsLineLocation);
}

void ResultRows::Clear() {
    rows_.clear();
    locations_.clear();
    total_ = 0;
    counts_.fill(0);
}

}  // namespace scan
