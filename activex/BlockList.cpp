#include "activex/BlockList.h"

#include "refdb/MarkupReader.h"
#include "settings/SettingsStore.h"

namespace activex {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace

BlockList ParseBlockList(std::string_view markup) {
    BlockList list;
    refdb::MarkupReader reader;
    if (!reader.LoadText(std::string(markup))) {
        list.problem = "it does not parse: " + reader.LastError();
        return list;
    }
    if (!reader.FindElement("Brindlex")) {
        list.problem = "its document element is not Brindlex";
        return list;
    }
    reader.IntoElement();
    while (reader.FindElement("Adware")) {
        ActiveXItem item;
        item.name = reader.GetAttribute("Name");
        if (item.name.empty())
            item.name = reader.GetAttribute("NAME");
        while (reader.FindChildElement("CLSID"))
            item.classIds.push_back(reader.GetChildAttribute("Key"));
        list.items.push_back(std::move(item));
    }
    return list;
}

BlockList ReadBlockList(platform::FileSystem& files, const std::string& path) {
    BlockList list;
    std::uint64_t size = 0;
    platform::Status status = files.GetFileSize(path, &size);
    if (status == platform::kSuccess && size > kMaxBlockListBytes) {
        list.problem = "The ActiveX block list " + Quoted(path) + " is too large to be one.";
        return list;
    }
    std::string markup;
    if (status == platform::kSuccess)
        status = files.ReadFile(path, &markup);
    if (status == platform::kErrorFileNotFound || status == platform::kErrorPathNotFound) {
        list.problem = "The ActiveX block list " + Quoted(path) +
                       " was not found, so no program can be exempted here.";
        return list;
    }
    if (status != platform::kSuccess) {
        list.problem = "The ActiveX block list " + Quoted(path) + " could not be read (error " +
                       std::to_string(status) + ").";
        return list;
    }
    list = ParseBlockList(markup);
    if (!list.problem.empty()) {
        list.problem =
            "The ActiveX block list " + Quoted(path) + " lists no programs: " + list.problem + ".";
    }
    return list;
}

std::string BlockListPath(platform::System& system) {
    settings::SettingsStore store(system);
    std::string path;
    if (store.GetSetting("xpath", &path) && !path.empty())
        return path;
    return store.GetModulePath(false) + "xblk.bx";
}

}  // namespace activex
