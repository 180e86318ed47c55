#include "activex/ActiveXProtection.h"

#include "settings/SettingsStore.h"

namespace activex {

std::string CountLabel(std::size_t count) {
    return "Currently Protecting Against <b>" + std::to_string(count) + "</b> items";
}

std::string ExplanationText() {
    return "Setting the ActiveX killbit of a particular item prevents it from being installed on "
           "your PC in the first place. You will not be prompted by the constant \"Yes/No\" "
           "prompts asking you to install certain programs if they are blocked. We are "
           "constantly adding new items to our database of potentially unwanted programs.\r\n\r\n"
           "If you wish to install a piece of software and you believe our software is blocking "
           "it, simply disable protection, install the software, and then re-enable the "
           "protection.";
}

std::string FailureMessage(const KillBitPass& pass) {
    if (pass.failed == 0)
        return {};
    return "ActiveX protection could not be changed for " + std::to_string(pass.failed) + " of " +
           std::to_string(pass.written + pass.failed + pass.skipped) +
           " items. Changing it needs administrator rights: run Brindlex as an administrator "
           "and try again.";
}

ActiveXShields::ActiveXShields(platform::System& system, const std::vector<std::string>& classIds)
    : system_(system), classIds_(classIds), killBits_(system.registry) {}

bool ActiveXShields::ProtectionOn() const {
    return settings::SettingsStore(system_).IsOn("acbl");
}

KillBitPass ActiveXShields::Enable() {
    KillBitPass pass;
    wasOn_ = ProtectionOn();
    for (const std::string& classId : classIds_) {
        if (!IsClassIdentifier(classId) || killBits_.IsExcepted(classId))
            ++pass.skipped;
        else if (killBits_.SetKillBit(classId, true))
            ++pass.written;
        else
            ++pass.failed;
    }
    if (pass.failed == 0 && !wasOn_)
        settings::SettingsStore(system_).SetSetting("acbl", "1");
    return pass;
}

KillBitPass ActiveXShields::Disable() {
    KillBitPass pass;
    for (const std::string& classId : classIds_) {
        if (!IsClassIdentifier(classId))
            ++pass.skipped;
        else if (killBits_.SetKillBit(classId, false))
            ++pass.written;
        else
            ++pass.failed;
    }
    if (pass.failed == 0)
        settings::SettingsStore(system_).SetSetting("acbl", "0");
    return pass;
}

std::string ActiveXShields::OkMessage(bool enabled, const KillBitPass& pass) const {
    if (pass.failed > 0)
        return FailureMessage(pass);
    return enabled && !wasOn_ ? kProtectionEnabled : "";
}

ActiveXControls::ActiveXControls(platform::System& system)
    : system_(system), killBits_(system.registry) {}

void ActiveXControls::Open() {
    BlockList list = ReadBlockList(system_.files, BlockListPath(system_));
    problem_ = std::move(list.problem);
    rows_.clear();
    for (ActiveXItem& item : list.items) {
        Row row;
        for (const std::string& classId : item.classIds)
            row.checked = row.checked || killBits_.IsExcepted(classId);
        row.item = std::move(item);
        rows_.push_back(std::move(row));
    }
}

std::string ActiveXControls::Ok() {
    KillBitPass pass;
    for (const Row& row : rows_) {
        for (const std::string& classId : row.item.classIds) {
            if (!IsClassIdentifier(classId))
                ++pass.skipped;
            else if (killBits_.SetException(classId, row.checked))
                ++pass.written;
            else
                ++pass.failed;
        }
    }
    return FailureMessage(pass);
}

}  // namespace activex
