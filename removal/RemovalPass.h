#pragma once
// The removal pass: walks every entry with detections and removes, in a
// fixed order, its registry keys, values, value data, cookies, files and
// folders, writing each step to the removal log.
#include <deque>
#include <string>

#include "platform/System.h"
#include "refdb/ReferenceDatabase.h"

namespace removal {

// The progress bar of the removal dialog: one step per handled record.
class RemovalProgress {
  public:
    virtual ~RemovalProgress() = default;
    virtual void Step() = 0;
};

// Runs the pass over the detected records (a set detected flag means
// detected and checked). Returns true when at least one file had to be left
// for deletion at the next restart. `logPath`, when given, gets the removal
// log's path (empty when no log could be written).
bool RunRemovalPass(platform::System& system, std::deque<refdb::SpywareEntry>& entries,
                    RemovalProgress* progress = nullptr, std::string* logPath = nullptr);
// The same over the database's entries and then its built-in ones, in one log.
bool RunRemovalPass(platform::System& system, refdb::ReferenceDatabase& database,
                    RemovalProgress* progress = nullptr, std::string* logPath = nullptr);

}  // namespace removal
