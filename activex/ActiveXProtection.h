#pragma once
// The decisions of the two ActiveX windows: "ActiveX Shields" (dialog 225)
// turns the kill bits of the Reference file's class identifiers on or off,
// "ActiveX Controls" (dialog 226) exempts single programs of the block list.
// bxcli's "activex" commands run the same operations.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "activex/BlockList.h"
#include "activex/KillBits.h"
#include "platform/System.h"

namespace activex {

inline constexpr const char* kMessageCaption = "Brindlex";
inline constexpr const char* kProtectionEnabled = "ActiveX protection enabled";
inline constexpr const char* kBlockListHint =
    "Place a check in the box to the left of any item you wish to not be protected against";

// Label 1093: "Currently Protecting Against <b>%d</b> items".
std::string CountLabel(std::size_t count);
// Static 1092: why kill bits help, and how to install a blocked program.
std::string ExplanationText();

// What one pass over class identifiers did.
struct KillBitPass {
    std::size_t written = 0;
    std::size_t failed = 0;   // a registry write was refused
    std::size_t skipped = 0;  // not a class identifier, or left alone as exempted
};
// Why a pass changed less than asked: empty when nothing failed.
std::string FailureMessage(const KillBitPass& pass);

class ActiveXShields {
  public:
    // `classIds`: the Reference file's list, whose length the label shows.
    ActiveXShields(platform::System& system, const std::vector<std::string>& classIds);

    // "acbl" is "1": Enable is selected when the dialog opens.
    bool ProtectionOn() const;
    std::size_t count() const { return classIds_.size(); }

    // OK with Enable selected: the kill bit of every identifier not
    // exempted. OK with Disable: 0 under every identifier, keys created.
    // "acbl" follows when every write went through.
    KillBitPass Enable();
    KillBitPass Disable();
    // What OK shows afterwards, if anything: kProtectionEnabled the first
    // time protection is turned on, or why some of it could not be changed.
    std::string OkMessage(bool enabled, const KillBitPass& pass) const;

    KillBits& killBits() { return killBits_; }

  private:
    platform::System& system_;
    const std::vector<std::string>& classIds_;
    KillBits killBits_;
    bool wasOn_ = false;
};

class ActiveXControls {
  public:
    struct Row {
        ActiveXItem item;
        bool checked = false;  // exempted: some identifier is
    };

    explicit ActiveXControls(platform::System& system);

    // Reads the block list named by "xpath" and works out the check marks.
    void Open();
    std::vector<Row>& rows() { return rows_; }
    // Why the list is empty, to show in the dialog; empty when it was read.
    const std::string& problem() const { return problem_; }

    // OK: every identifier of a checked row exempted (its kill bit cleared at
    // once), of an unchecked one the mark lifted; what to tell the user,
    // empty when every write went through.
    std::string Ok();

  private:
    platform::System& system_;
    KillBits killBits_;
    std::vector<Row> rows_;
    std::string problem_;
};

}  // namespace activex
