#include "removal/RemovalLog.h"

#include "platform/Text.h"
#include "scan/ScanLog.h"
#include "settings/SettingsStore.h"

namespace removal {

bool CLogFile::Open() {
    path_.clear();
    std::string folder;
    if (!settings::SettingsStore(system_).GetSetting("lfp", &folder))
        return false;
    folder = text::WithoutTrailingBackslash(folder);
    system_.files.CreateDirectory(folder);
    const std::string path = folder + "\\" + scan::TimeStampedLogName(system_.clock.Now());
    if (system_.files.AppendFile(path, "Brindlex 5.0\r\n---------------------\r\n\r\n") !=
        platform::kSuccess)
        return false;
    path_ = path;
    return true;
}

void CLogFile::Write(std::string_view text) {
    if (!path_.empty())
        system_.files.AppendFile(path_, text);
}

}  // namespace removal
