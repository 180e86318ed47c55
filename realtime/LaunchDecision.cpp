#include "realtime/LaunchDecision.h"

#include <cstdio>
#include <vector>

#include "platform/ScopedKey.h"
#include "settings/Strings.h"

namespace realtime {

namespace {

std::string_view WithoutQuotes(std::string_view text) {
    while (!text.empty() && text.front() == '"')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == '"')
        text.remove_suffix(1);
    return text;
}

LaunchTarget SplitPath(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string_view::npos)
        return {std::string(path), std::string()};
    return {std::string(path.substr(slash + 1)),
            text::WithoutTrailingBackslash(path.substr(0, slash))};
}

std::string IndexKey(std::string_view name, std::string_view folder) {
    // '|' cannot occur in a file name, so the pair maps to one key.
    std::string key = text::ToLower(name);
    key += '|';
    key += text::ToLower(text::WithoutTrailingBackslash(folder));
    return key;
}

}  // namespace

LaunchTarget ResolveTarget(std::string_view caller, std::string_view executable) {
    caller = text::Trim(caller);
    const std::size_t slash = executable.rfind('\\');
    const std::string_view exeName =
        slash == std::string_view::npos ? executable : executable.substr(slash + 1);
    if (text::EqualsNoCase(exeName, "explorer.exe"))
        return SplitPath(WithoutQuotes(caller));
    return SplitPath(executable);
}

void LaunchIndex::Rebuild(const std::vector<refdb::ExeRecord>& executables) {
    byKey_.clear();
    byKey_.reserve(executables.size());
    for (const refdb::ExeRecord& record : executables) {
        // emplace keeps the earlier record: the first match in database order.
        byKey_.emplace(IndexKey(record.name, record.path), &record);
    }
}

const refdb::ExeRecord* LaunchIndex::Find(const LaunchTarget& target) const {
    auto it = byKey_.find(IndexKey(target.name, target.folder));
    return it == byKey_.end() ? nullptr : it->second;
}

bool ExeLists::Read(std::string_view list, std::string* value) const {
    platform::ScopedKey key;
    if (platform::ScopedKey::Open(system_.registry, platform::kHkeyCurrentUser,
                                  settings::strings::kSettingsKey, platform::kKeyQueryValue,
                                  &key) != platform::kSuccess) {
        return false;
    }
    // The value may grow between the size query and the read: ask again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (system_.registry.QueryValue(key.get(), list, &type, nullptr, &size) !=
            platform::kSuccess) {
            return false;
        }
        if (type != platform::kRegSz && type != platform::kRegExpandSz)
            return false;
        std::vector<char> buffer(size + 1);
        std::uint32_t got = size;
        platform::Status status =
            system_.registry.QueryValue(key.get(), list, &type, buffer.data(), &got);
        if (status == platform::kErrorMoreData)
            continue;
        if (status != platform::kSuccess)
            return false;
        std::string_view read(buffer.data(), got);
        if (std::size_t zero = read.find('\0'); zero != std::string_view::npos)
            read = read.substr(0, zero);
        value->assign(read);
        return true;
    }
    return false;
}

bool ExeLists::Contains(std::string_view list, std::string_view path) const {
    std::string value;
    if (!Read(list, &value))
        return false;
    for (std::string_view piece : text::Split(value, kListSeparator)) {
        if (!piece.empty() && text::EqualsNoCase(piece, path))
            return true;
    }
    return false;
}

bool ExeLists::Append(std::string_view list, std::string_view path) {
    std::string value;
    if (Read(list, &value)) {
        value += kListSeparator;
        value += path;
    } else {
        value.assign(path);
    }
    settings::SettingsStore store(system_);
    return store.SetSetting(list, value);
}

std::string FilterModulePath(std::string_view programFolder) {
    std::string path = text::WithoutTrailingBackslash(programFolder);
    path += '\\';
    path += kFilterModuleName;
    return path;
}

std::string LaunchQuestion(std::string_view entryName, std::string_view exeName) {
    std::string question = "(";
    question += entryName;
    question += ") is trying to run an executable named (";
    question += exeName;
    question += "), Do you want to run it?";
    return question;
}

int DecideLaunch(std::string_view caller, std::string_view executable, const LaunchIndex& index,
                 ExeLists& lists, const AuthorizeLaunch& authorize) {
    const LaunchTarget target = ResolveTarget(caller, executable);
    const refdb::ExeRecord* record = index.Find(target);
    if (record == nullptr || record->entry == nullptr)
        return 1;
    const std::string fullPath = target.FullPath();
    if (lists.Contains(kBlockList, fullPath))
        return 0;
    if (lists.Contains(kIgnoreList, fullPath))
        return 1;
    int dontAskAgain = 0;
    const bool refused = authorize(LaunchQuestion(record->entry->name, target.name), &dontAskAgain);
    if (dontAskAgain != 0)
        lists.Append(refused ? kBlockList : kIgnoreList, fullPath);
    return refused ? 0 : 1;
}

}  // namespace realtime
