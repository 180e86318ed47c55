#pragma once
// Whether the update server offers a newer Reference file: CheckForUpdate
// of the download, and the decision of the update-check dialog at start.
#include <string>

#include "platform/System.h"
#include "update/UpdatePrompts.h"
#include "update/UpdateServer.h"

namespace update {

enum class OfferStatus {
    kConnectionFailed,  // the page could not be read; the user was told
    kUpToDate,          // the page names the archive of the file in use
    kNewer,             // the page names another archive
};

struct Offer {
    OfferStatus status = OfferStatus::kConnectionFailed;
    std::string archiveName;  // as the page gives it, in lower case
};

enum class CheckResult {
    kConnectionFailed,
    kDeclined,  // same file, present, and the user did not want it again
    kDownloadDue,
};

class UpdateChecker {
  public:
    UpdateChecker(platform::System& system, UpdatePrompts& prompts, UpdateAddresses addresses);

    const UpdateAddresses& addresses() const { return addresses_; }

    // Reads the update page and compares the archive it names with the one
    // of the file in use ("df" followed by ".zip", ignoring case). A page
    // that cannot be read shows the connection error.
    Offer ReadOffer();

    // CheckForUpdate: decides whether to download and gives the archive
    // name. The same archive as the one in use is downloaded again only when
    // its Reference file is missing from the folder of "rfp" or the user
    // says so.
    CheckResult Check(std::string* newName);
    bool CheckForUpdate(std::string* newName) {
        return Check(newName) == CheckResult::kDownloadDue;
    }

    // The update-check dialog when its timer fires: true (OK) when the page
    // names another archive and the user wants it; a page naming the archive
    // in use asks nothing.
    bool ConfirmUpdate();

  private:
    platform::System& system_;
    UpdatePrompts& prompts_;
    UpdateAddresses addresses_;
};

}  // namespace update
