#pragma once
// The removal log: one dated text file in the log folder of the settings,
// opened and closed for every write so it survives a crash.
#include <string>
#include <string_view>

#include "platform/System.h"

namespace removal {

class CLogFile {
  public:
    explicit CLogFile(platform::System& system) : system_(system) {}

    // Creates the log for the current time (or appends to it when one of the
    // same second exists) and writes the header. False, with no path, when
    // the log folder is not configured.
    bool Open();
    // Appends the text's bytes as they are; does nothing without a log.
    void Write(std::string_view text);

    const std::string& path() const { return path_; }

  private:
    platform::System& system_;
    std::string path_;
};

}  // namespace removal
