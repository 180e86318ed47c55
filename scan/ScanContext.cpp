#include "scan/ScanContext.h"

#include "platform/Text.h"

namespace scan {

namespace {

void TakePlace(ScanContext& context, refdb::FileItem& item, std::string_view folder,
               std::string_view name) {
    item.name = std::string(name);
    item.path = std::string(folder);
    auto strings = std::make_unique<refdb::VersionInfo>();
    if (context.system.files.ReadVersionStrings(item.path + '\\' + item.name, strings.get())) {
        item.versionInfo = std::move(strings);
    } else {
        item.versionInfo.reset();
    }
}

void TakePlace(ScanContext& context, refdb::FileItem& item, std::string_view foundPath) {
    TakePlace(context, item, text::ParentPath(foundPath), text::FileName(foundPath));
}

}  // namespace

void ScanContext::ReportProgress(std::string_view textChecked) {
    int count = scannedCount.fetch_add(1, std::memory_order_relaxed) + 1;
    observer.OnProgress(textChecked, count);
}

void ReportFile(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item) {
    item.detected = true;
    entry.detected = true;
    context.observer.OnFile(entry, item);
}

void ReportFoundAtPlace(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item,
                        std::string_view foundPath) {
    TakePlace(context, item, foundPath);
    ReportFile(context, entry, item);
}

void ReportFoundByChecksum(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item,
                           std::string_view foundPath) {
    ReportFoundByChecksum(context, entry, item, text::ParentPath(foundPath),
                          text::FileName(foundPath));
}

void ReportFoundByChecksum(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item,
                           std::string_view folder, std::string_view name) {
    if (!item.detected && !item.path.empty()) {
        TakePlace(context, item, folder, name);
        ReportFile(context, entry, item);
        return;
    }
    refdb::FileItem copy;
    copy.md5 = item.md5;
    copy.isLsp = item.isLsp;
    TakePlace(context, copy, folder, name);
    copy.detected = true;
    item.detected = true;
    entry.detected = true;
    refdb::FileItem& stored = item.copies.emplace_back(std::move(copy));
    context.observer.OnFile(entry, stored);
}

}  // namespace scan
