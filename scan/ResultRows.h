#pragma once
// The results list as data: one row per detection a scan reports, with the
// texts the window shows and the console prints. Detections of ignored
// entries and second rows for the same file never become rows.
#include <array>
#include <cstddef>
#include <deque>
#include <string>
#include <unordered_set>
#include <variant>

#include "platform/Text.h"
#include "refdb/ReferenceDatabase.h"

namespace scan {

// The detection behind a row; the alternatives are in ItemKind order.
using DetectionPointer =
    std::variant<refdb::FileItem*, refdb::CookieItem*, refdb::DirectoryItem*, refdb::RegKeyItem*,
                 refdb::RegValueItem*, refdb::RegDataItem*, refdb::PrefsLineItem*>;

// The item data of a row: its kind, its entry and its detection, all owned by
// the database.
struct RowData {
    refdb::SpywareEntry* entry = nullptr;
    DetectionPointer item;

    refdb::ItemKind kind() const { return static_cast<refdb::ItemKind>(item.index()); }
    // The detection as the given type; null when the row is of another kind.
    template <typename Item>
    Item* As() const {
        Item* const* found = std::get_if<Item*>(&item);
        return found != nullptr ? *found : nullptr;
    }
};

struct ResultRow {
    std::string item;  // the entry's name
    std::string location;
    std::string type;
    std::string danger;
    bool checked = true;
    RowData data;
};

inline constexpr std::size_t kKindCount = 7;

// "File", "Cookie", "Directory", "RegKey", "RegValue", "RegValueData",
// "PrefsLine".
const char* KindText(refdb::ItemKind kind);

// The location texts of the results list.
std::string FileLocation(const refdb::FileItem& item);
std::string CookieLocation(const refdb::CookieItem& item);
std::string DirectoryLocation(const refdb::DirectoryItem& item);
std::string RegKeyLocation(const refdb::RegKeyItem& item);
std::string RegValueLocation(const refdb::RegValueItem& item);
std::string RegDataLocation(const refdb::RegDataItem& item);
std::string PrefsLineLocation(const refdb::PrefsLineItem& item);

class ResultRows {
  public:
    // Each adds a checked row and returns true, or adds nothing and returns
    // false: for an ignored entry (the detection is then no longer marked
    // detected, so removal leaves it alone) and for a file whose location a
    // row already shows.
    bool AddFile(refdb::SpywareEntry& entry, refdb::FileItem& item);
    bool AddCookie(refdb::SpywareEntry& entry, refdb::CookieItem& item);
    bool AddDirectory(refdb::SpywareEntry& entry, refdb::DirectoryItem& item);
    bool AddRegKey(refdb::SpywareEntry& entry, refdb::RegKeyItem& item);
    bool AddRegValue(refdb::SpywareEntry& entry, refdb::RegValueItem& item);
    bool AddRegData(refdb::SpywareEntry& entry, refdb::RegDataItem& item);
    bool AddPrefsLine(refdb::SpywareEntry& entry, refdb::PrefsLineItem& item);

    // Empties the list and sets every counter to 0.
    void Clear();

    // Rows keep their addresses while later rows are added.
    const std::deque<ResultRow>& rows() const { return rows_; }
    std::deque<ResultRow>& rows() { return rows_; }
    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }

    int total() const { return total_; }
    int count(refdb::ItemKind kind) const { return counts_[static_cast<std::size_t>(kind)]; }

  private:
    template <typename Item>
    bool Add(refdb::SpywareEntry& entry, Item& item, std::string (*locate)(const Item&));

    std::deque<ResultRow> rows_;
    std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase> locations_;
    int total_ = 0;
    std::array<int, kKindCount> counts_{};
};

}  // namespace scan
