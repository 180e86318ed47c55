#include "removal/RemovalPass.h"

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "browser/PrefsFile.h"
#include "platform/Text.h"
#include "registry/RegistryHelper.h"
#include "registry/RegistryKey.h"
#include "removal/FileRemoval.h"
#include "removal/LspRepair.h"
#include "removal/RemovalLog.h"

namespace removal {
namespace {

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

// "%d" of a DWORD: printed as a signed 32-bit number.
std::string DwordText(std::uint32_t value) {
    return Number(static_cast<std::int32_t>(value));
}

std::string KeyText(platform::HKey root, const std::string& path) {
    return std::string(refdb::RootName(root)) + "\\" + path;
}

std::string JoinFolder(std::string_view folder, std::string_view name) {
    return text::WithoutTrailingBackslash(folder) + "\\" + std::string(name);
}

class Pass {
  public:
    Pass(platform::System& system, RemovalProgress* progress)
        : system_(system), helper_(system.registry), log_(system), progress_(progress) {}

    bool Run(std::initializer_list<std::deque<refdb::SpywareEntry>*> lists, std::string* logPath) {
        log_.Open();
        if (logPath != nullptr)
            *logPath = log_.path();
        for (std::deque<refdb::SpywareEntry>* entries : lists) {
            for (refdb::SpywareEntry& entry : *entries) {
                if (entry.detected)
                    RemoveEntry(entry);
            }
        }
        return restartNeeded_;
    }

  private:
    void Step() {
        if (progress_ != nullptr)
            progress_->Step();
    }

    void RemoveEntry(refdb::SpywareEntry& entry) {
        log_.Write("Removing Spyware " + entry.name + "...\r\n");
        log_.Write("Removing Registry " + entry.name + "...\r\n");
        for (const refdb::RegKeyItem& key : entry.regKeys) {
            if (!key.detected)
                continue;
            const std::string where = KeyText(key.root, key.keyPath);
            log_.Write("\r\n[Deleting Key...]\r\nKey : " + where + "\r\n");
            // Reported as deleted whatever the outcome.
            helper_.DeleteKeyTree(key.root, key.keyPath);
            log_.Write("\r\n[Key Deleted]\r\nKey : " + where + "\r\n");
            Step();
        }
        log_.Write("Removing RegValues " + entry.name + "...\r\n");
        for (const refdb::RegValueItem& value : entry.regValues) {
            if (!value.detected)
                continue;
            const std::string where =
                KeyText(value.root, value.keyPath) + "\r\nValue : " + value.valueName + "\r\n";
            log_.Write("\r\n[Deleting Value...]\r\nKey : " + where);
            helper_.DeleteValue(value.root, value.keyPath, value.valueName);
            log_.Write("\r\n[Value Deleted]\r\nKey : " + where);
            Step();
        }
        for (const refdb::RegValueItem& value : entry.policyValues) {
            if (!value.detected)
                continue;
            const std::string where =
                KeyText(value.root, value.keyPath) + "\r\nValue : " + value.valueName + "\r\n";
            log_.Write("\r\n[Deleting Value...]\r\nKey : " + where);
            const platform::Status status =
                helper_.DeleteValue(value.root, value.keyPath, value.valueName);
            if (status == platform::kSuccess || status == platform::kErrorFileNotFound)
                log_.Write("\r\n[Value Deleted]\r\nKey : " + where);
            else
                log_.Write("\r\n[Value Deletion Failed (" + Number(status) +
                           ")]\r\nKey : " + where);
            Step();
        }
        log_.Write("Fixing RegValue data" + entry.name + "...\r\n");
        for (const refdb::RegDataItem& data : entry.regData) {
            if (data.detected)
                FixValueData(data);
        }
        RemovePrefsLines(entry);
        log_.Write("Removing Cookies " + entry.name + "...\r\n");
        for (const refdb::CookieItem& cookie : entry.cookies) {
            if (!cookie.detected)
                continue;
            RemoveCookies(cookie);
            Step();
        }
        log_.Write("Removing Files " + entry.name + "...\r\n");
        for (const refdb::FileItem& file : entry.files) {
            if (file.detected && !file.path.empty())
                RemoveFile(file, file, false);
            for (const refdb::FileItem& copy : file.copies) {
                if (copy.detected)
                    RemoveFile(file, copy, true);
            }
            Step();
        }
        log_.Write("Removing Folders " + entry.name + "...\r\n");
        for (const refdb::DirectoryItem& folder : entry.directories) {
            if (!folder.detected)
                continue;
            const std::string path = JoinFolder(folder.path, folder.name);
            log_.Write("\r\n[Removing Directory...]\r\n" + path + "\r\n");
            if (RemoveFolderTree(system_.files, path, log_))
                log_.Write("\r\n[Directory Removal]\r\n" + path + "\r\n");
            else
                log_.Write("\r\n[Directory Removal Failed (Not Empty or already removed)]\r\n" +
                           path + "\r\n");
            Step();
        }
    }

    void FixValueData(const refdb::RegDataItem& data) {
        if (!helper_.OpenKey(data.root, data.keyPath, platform::kKeyAllAccess))
            return;  // the key is gone or refused: no step
        // A record listed for any value ("*") acts on the value the scan matched.
        const std::string& target = data.valueName == "*" ? data.matchedName : data.valueName;
        try {
            CRegistryKey key(system_.registry, data.root, data.keyPath);
            const CRegistryKey::Value value = key.QueryValue(target);
            const std::string head =
                KeyText(data.root, data.keyPath) + "\r\nValue : " + data.valueName + "\r\n";
            const std::uint32_t type = value.GetType();
            const bool isText = type == platform::kRegSz;
            const bool isNumber = type == platform::kRegDword;
            const std::string old = isText     ? value.AsString()
                                    : isNumber ? DwordText(value.AsDWORD())
                                               : std::string();
            if (!data.deleteValue) {
                const std::string lines =
                    head + "Old ValueData : " + old + "\r\nNew ValueData : " + data.fix + "\r\n";
                if (isText) {
                    log_.Write("\r\n[Fixing Value Data...]\r\nKey : " + lines);
                    helper_.SetString(data.root, data.keyPath, target, data.fix);
                    log_.Write("\r\n[Fixed Value Data]\r\nKey : " + lines);
                } else if (isNumber) {
                    log_.Write("\r\n[Fixing Value Data...]\r\nKey : " + lines);
                    // Text that is not a number gives 0.
                    const long number = std::strtol(data.fix.c_str(), nullptr, 10);
                    helper_.SetDword(data.root, data.keyPath, target,
                                     static_cast<std::uint32_t>(number));
                    log_.Write("\r\n[Fixed Value Data]\r\nKey : " + lines);
                }
            } else {
                const std::string lines =
                    (isText || isNumber) ? head + "ValueData : " + old + "\r\n\r\n" : std::string();
                if (!lines.empty())
                    log_.Write("\r\n[Deleting Value...]\r\nKey : " + lines);
                helper_.DeleteValue(data.root, data.keyPath, target);
                if (!lines.empty())
                    log_.Write("\r\n[Value Deleted]\r\nKey : " + lines);
            }
        } catch (const CRegistryKey::Exception&) {
            // The value is gone or unreadable: skipped after its step.
        }
        Step();
    }

    // Each preference file is rewritten once, without the detected lines.
    void RemovePrefsLines(const refdb::SpywareEntry& entry) {
        std::set<std::string, text::LessNoCase> done;
        for (const refdb::PrefsLineItem& first : entry.prefsLines) {
            if (!first.detected || !done.insert(first.path).second)
                continue;
            std::vector<const refdb::PrefsLineItem*> lines;
            for (const refdb::PrefsLineItem& item : entry.prefsLines) {
                if (item.detected && text::EqualsNoCase(item.path, first.path))
                    lines.push_back(&item);
            }
            for (const refdb::PrefsLineItem* item : lines) {
                log_.Write("\r\n[Removing Preference...]\r\nFile : " + item->path +
                           "\r\nLine : " + item->line + "\r\n");
            }
            int removed = 0;
            const platform::Status status = browser::RemovePrefsLines(
                system_.files, first.path,
                [&](const browser::PrefsLine&, std::string_view text) {
                    for (const refdb::PrefsLineItem* item : lines) {
                        if (text == item->line)
                            return true;
                    }
                    return false;
                },
                &removed);
            if (status == platform::kSuccess) {
                log_.Write("\r\n[Preferences Removed]\r\nFile : " + first.path +
                           "\r\nLines : " + Number(removed) + "\r\n");
            } else {
                log_.Write("\r\n[Preference Removal Failed (" + Number(status) +
                           ")]\r\nFile : " + first.path + "\r\n");
            }
            for (std::size_t i = 0; i < lines.size(); ++i)
                Step();
        }
    }

    void RemoveCookies(const refdb::CookieItem& cookie) {
        for (const std::string& path : CookieFiles(system_.files, cookie)) {
            if (DeleteDetectedFile(system_.files, path) == platform::kSuccess)
                log_.Write("\r\n[Deleted Cookie]\r\n" + path + "\r\n");
        }
    }

    // `main` is the file record; `item` is it or one of its additional
    // locations.
    void RemoveFile(const refdb::FileItem& main, const refdb::FileItem& item, bool additional) {
        const std::string path = JoinFolder(item.path, item.name);
        const bool withMd5 = !main.md5.empty();
        const std::string& md5 = additional ? item.md5 : main.md5;
        const std::string md5Line = "[MD5]=" + md5 + "\r\n";
        log_.Write("\r\n[File Deleting...]\r\n" + path + "\r\n" +
                   (withMd5 ? "[MD5]=" + main.md5 + "\r\n" : std::string()));
        const std::uint32_t attributes = system_.files.GetAttributes(path);
        if (attributes != platform::kInvalidAttributes &&
            (attributes & platform::kAttrReadOnly) != 0) {
            std::uint32_t cleared = attributes & ~platform::kAttrReadOnly;
            system_.files.SetAttributes(path, cleared != 0 ? cleared : platform::kAttrNormal);
        }
        if (main.isLsp) {
            log_.Write((additional ? "\r\nDeleting LSP\r\n" : "\r\nLSP Removed\r\n") + path);
            RemoveLspEntries(system_.registry, path);
        }
        const platform::Status status = DeleteDetectedFile(system_.files, path);
        if (status == platform::kSuccess) {
            log_.Write((additional ? "\r\n[File Removal]\r\n" : "\r\n[File Deleted]\r\n") + path +
                       "\r\n" + (withMd5 ? md5Line : std::string()));
            return;
        }
        if (!system_.files.Exists(path))
            return;  // gone after all: nothing to report
        log_.Write(FailureLine(status, path, additional));
        restartNeeded_ = true;
        const platform::Status deferred = system_.files.DeleteAtRestart(path);
        if (deferred != platform::kSuccess) {
            log_.Write((additional ? "MoveFileEx - Error Occured = " : "MoveFileEx Error (") +
                       Number(deferred) + (additional ? "" : ")"));
        } else {
            log_.Write("\r\n[File Removal Delayed untill Reboot]\r\n" + path + "\r\n" +
                       (withMd5 ? md5Line : std::string()));
        }
    }

    static std::string FailureLine(platform::Status status, const std::string& path,
                                   bool additional) {
        if (status == platform::kErrorAccessDenied)
            return (additional ? "\r\nAccess Denied while deleting - "
                               : "\r\nAccess Denied can't delete -> ") +
                   path;
        if (status == platform::kErrorInvalidName)
            return (additional ? "\r\nInvalid FileName while deleting- "
                               : "\r\nInvalid FileName can't delete -> ") +
                   path;
        if (additional)
            return "\r\nUnknown Error " + Number(status) + " Occured while deleting - " + path;
        return "\r\nUnknown Error (" + Number(status) + ") can't delete - " + path;
    }

    platform::System& system_;
    CRegistryHelper helper_;
    CLogFile log_;
    RemovalProgress* progress_;
    bool restartNeeded_ = false;
};

}  // namespace

bool RunRemovalPass(platform::System& system, std::deque<refdb::SpywareEntry>& entries,
                    RemovalProgress* progress, std::string* logPath) {
    return Pass(system, progress).Run({&entries}, logPath);
}

bool RunRemovalPass(platform::System& system, refdb::ReferenceDatabase& database,
                    RemovalProgress* progress, std::string* logPath) {
    return Pass(system, progress).Run({&database.entries(), &database.builtInEntries()}, logPath);
}

}  // namespace removal
