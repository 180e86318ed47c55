#pragma once
// The ignore list "iglist.lst" beside the program: names of unwanted programs
// the user does not want to be told about, separated by commas, scrambled
// like the Reference file. An entry is ignored when its name occurs anywhere
// in the text.
#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"
#include "refdb/ReferenceDatabase.h"

namespace refdb {

// Appends `textToAdd` (the caller passes "," and the entry's name) to the
// list, creating it when missing. False when the file cannot be written; the
// earlier list is then left as it was.
bool AppendToIgnoreList(platform::System& system, std::string_view textToAdd);

// The logic of the "Current List of items ignored" window: one checked row
// per ignored entry; OK applies the check marks and rewrites the file,
// Cancel does nothing.
class IgnoreListEditor {
  public:
    IgnoreListEditor(platform::System& system, ReferenceDatabase& database);

    struct Row {
        SpywareEntry* entry;
        bool checked;
    };
    std::vector<Row>& rows() { return rows_; }

    // Applies the rows: unchecked rows stop being ignored. The in-memory flags
    // change even when the file cannot be written (then false).
    bool Ok();

  private:
    platform::System& system_;
    std::vector<Row> rows_;
};

}  // namespace refdb
