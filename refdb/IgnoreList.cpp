#include "refdb/IgnoreList.h"

#include "refdb/Scramble.h"

namespace refdb {

namespace {

// Writes the list beside it first and then replaces it, so a failed write
// never costs the user the list they had.
bool ReplaceIgnoreList(platform::System& system, const std::string& path,
                       std::string_view plainText) {
    std::string temporary = path + ".new";
    if (system.files.WriteFile(temporary, Scrambled(plainText)) != platform::kSuccess) {
        system.files.DeleteFile(temporary);
        return false;
    }
    if (system.files.MoveFile(temporary, path, true) != platform::kSuccess) {
        system.files.DeleteFile(temporary);
        return false;
    }
    return true;
}

}  // namespace

bool AppendToIgnoreList(platform::System& system, std::string_view textToAdd) {
    std::string path = IgnoreListPath(system);
    std::string newText(textToAdd);
    std::string old;
    platform::Status status = system.files.ReadFile(path, &old);
    if (status == platform::kSuccess) {
        if (!old.empty()) {
            Scramble(old);
            newText = old + "," + newText;
        }
    } else if (system.files.Exists(path)) {
        // Present but unreadable: keep it rather than replace it blindly.
        return false;
    }
    std::size_t firstName = newText.find_first_not_of(',');
    newText.erase(0, firstName == std::string::npos ? newText.size() : firstName);
    return ReplaceIgnoreList(system, path, newText);
}

IgnoreListEditor::IgnoreListEditor(platform::System& system, ReferenceDatabase& database)
    : system_(system) {
    for (SpywareEntry& entry : database.entries()) {
        if (entry.ignored)
            rows_.push_back({&entry, true});
    }
}

bool IgnoreListEditor::Ok() {
    std::string newText;
    for (Row& row : rows_) {
        row.entry->ignored = row.checked;
        if (row.checked) {
            newText += row.entry->name;
            newText += ',';
        }
    }
    if (!newText.empty())
        newText.pop_back();
    return ReplaceIgnoreList(system_, IgnoreListPath(system_), newText);
}

}  // namespace refdb
