#include "scan/ScanLog.h"

#include "platform/Text.h"
#include "settings/SettingsStore.h"
#include "settings/Strings.h"

namespace scan {

namespace {

void AppendRecord(std::string& out, const ResultRow& row) {
    out += "Spyware Name = ";
    out += row.item;
    out += "\r\nLocation = ";
    out += row.location;
    out += "\r\nType = ";
    out += row.type;
    out += "\r\n";
    const refdb::FileItem* file = row.data.As<refdb::FileItem>();
    if (file != nullptr && !file->md5.empty()) {
        out += " MD5=";
        out += file->md5;
        out += "\r\n";
    }
}

// An existing folder is fine; anything else ends the log.
bool EnsureFolder(platform::FileSystem& files, const std::string& folder) {
    platform::Status status = files.CreateDirectory(folder);
    return status == platform::kSuccess || status == platform::kErrorAlreadyExists;
}

}  // namespace

std::string TimeStampedLogName(const platform::LocalTime& time) {
    return "Date(" + std::to_string(time.day) + "-" + std::to_string(time.month) + "-" +
           std::to_string(time.year) + ") Time(" + std::to_string(time.hour) + "-" +
           std::to_string(time.minute) + "-" + std::to_string(time.second) + ").txt";
}

std::string ScanLogText(std::string_view referencePath, const ResultRows& rows) {
    std::string out = "Brindlex v5.0 --------------------------\r\nReference File = ";
    out += referencePath;
    out += "\r\n---------------------------\r\n\r\n";
    for (const ResultRow& row : rows.rows())
        AppendRecord(out, row);
    return out;
}

std::string WriteScanLog(platform::System& system, const ResultRows& rows) {
    settings::SettingsStore settings(system);
    std::string logFolder;
    if (!settings.GetSetting("lfp", &logFolder))
        return {};
    // The file the program loads: the configured one, else its default.
    std::string referencePath;
    if (!settings.GetSetting("rfp", &referencePath) || referencePath.empty()) {
        referencePath = settings.GetModulePath(false) + settings::strings::kDefaultReferenceFile;
    }

    std::string folder = text::WithoutTrailingBackslash(logFolder);
    if (!EnsureFolder(system.files, folder))
        return {};
    folder += "\\ScanLogs";
    if (!EnsureFolder(system.files, folder))
        return {};
    std::string path = folder + "\\ScanLog" + TimeStampedLogName(system.clock.Now());
    if (system.files.WriteFile(path, ScanLogText(referencePath, rows)) != platform::kSuccess) {
        return {};
    }
    return path;
}

}  // namespace scan
