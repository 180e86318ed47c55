#include "update/UpdateCheck.h"

#include "platform/Text.h"
#include "settings/SettingsStore.h"
#include "update/UpdatePage.h"
#include "update/UpdateTexts.h"

namespace update {
namespace {

constexpr std::string_view kArchiveExtension = ".zip";

// "df" followed by ".zip".
std::string CurrentArchive(const settings::SettingsStore& settings) {
    std::string name;
    settings.GetSetting("df", &name);
    return name + std::string(kArchiveExtension);
}

}  // namespace

UpdateChecker::UpdateChecker(platform::System& system, UpdatePrompts& prompts,
                             UpdateAddresses addresses)
    : system_(system), prompts_(prompts), addresses_(std::move(addresses)) {}

Offer UpdateChecker::ReadOffer() {
    settings::SettingsStore settings(system_);
    std::string current = CurrentArchive(settings);
    Offer offer;
    std::string page;
    if (!FetchUpdatePage(system_.network, addresses_.page, &page, true)) {
        prompts_.Show(
            {texts::kConnectionError, texts::kErrorCaption, MessageIcon::kStop, false, true});
        return offer;
    }
    offer.archiveName = std::string(TrimSpace(page));
    offer.status = text::EqualsNoCase(offer.archiveName, current) ? OfferStatus::kUpToDate
                                                                  : OfferStatus::kNewer;
    return offer;
}

CheckResult UpdateChecker::Check(std::string* newName) {
    newName->clear();
    Offer offer = ReadOffer();
    if (offer.status == OfferStatus::kConnectionFailed)
        return CheckResult::kConnectionFailed;
    if (offer.status == OfferStatus::kNewer) {
        *newName = offer.archiveName;
        return CheckResult::kDownloadDue;
    }

    // The archive of the file in use: ask only when that file is there.
    settings::SettingsStore settings(system_);
    std::string referencePath;
    settings.GetSetting("rfp", &referencePath);
    std::string folder(text::ParentPath(referencePath));
    std::string referenceName =
        offer.archiveName.substr(0, offer.archiveName.size() - kArchiveExtension.size());
    std::uint32_t attributes = system_.files.GetAttributes(folder + "\\" + referenceName);
    bool present =
        attributes != platform::kInvalidAttributes && (attributes & platform::kAttrDirectory) == 0;
    if (present && !prompts_.Show({texts::kAlreadyUpdated, texts::kAlertCaption,
                                   MessageIcon::kExclamation, true, true})) {
        return CheckResult::kDeclined;
    }
    *newName = referenceName + std::string(kArchiveExtension);
    return CheckResult::kDownloadDue;
}

bool UpdateChecker::ConfirmUpdate() {
    Offer offer = ReadOffer();
    if (offer.status != OfferStatus::kNewer)
        return false;
    return prompts_.Show(
        {texts::kUpdatesAvailable, texts::kProgramCaption, MessageIcon::kNone, true, false});
}

}  // namespace update
