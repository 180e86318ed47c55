// bxcli shields status: the shield switches, and for every place the shields
// watch whether it holds what the shields would keep there. Nothing is
// written: the baselines are those a start of the program would take now
// (the maintained pages where their shield is on, otherwise what is there).
#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>

#include "cli/Cli.h"
#include "shields/ShieldMonitor.h"
#include "shields/Switches.h"

namespace cli {
namespace {

using nlohmann::json;

struct ShieldsOptions {
    bool json = false;
};

// The audit asks nothing; should a shield ask anyway, the change stays.
class NoPopup : public shields::AlertPopup {
  public:
    shields::PopupAnswer Ask(const shields::PopupRequest&) override { return {true, false}; }
    void Notify(const shields::PopupRequest&) override {}
};

const char* StateText(const shields::PlaceStatus& place) {
    if (place.matches)
        return "matches";
    return place.watched ? "changed" : "changed (not watched)";
}

void PrintText(const shields::ShieldSwitches& switches,
               const std::vector<shields::PlaceStatus>& places, Console& console) {
    console.out << "Shields: " << (switches.shieldsActive ? "active" : "inactive") << "\n";
    for (const shields::SwitchInfo& row : shields::SwitchTable()) {
        console.out << row.label << " (" << row.setting
                    << "): " << (switches.*row.flag ? "on" : "off") << "\n";
    }
    for (const shields::PlaceStatus& place : places) {
        console.out << place.shield << "\t" << place.place << "\t" << StateText(place) << "\n";
        if (place.baseline.size() == 1 && place.now.size() == 1) {
            if (!place.matches)
                console.out << "\tnow: " << place.now.front()
                            << "\n\tkept: " << place.baseline.front() << "\n";
            continue;
        }
        for (const std::string& item : place.now) {
            const bool isNew = std::find(place.differences.begin(), place.differences.end(),
                                         item) != place.differences.end();
            console.out << (isNew ? "\tnew: " : "\t") << item << "\n";
        }
    }
}

json PlacesJson(const std::vector<shields::PlaceStatus>& places) {
    json list = json::array();
    for (const shields::PlaceStatus& place : places) {
        list.push_back({{"shield", place.shield},
                        {"place", place.place},
                        {"watched", place.watched},
                        {"matches", place.matches},
                        {"now", place.now},
                        {"baseline", place.baseline},
                        {"differences", place.differences}});
    }
    return list;
}

int Status(platform::System& system, const ShieldsOptions& options, Console& console) {
    NoPopup popup;
    shields::CShieldMonitor monitor(system, popup);
    const std::vector<shields::PlaceStatus> places = monitor.AuditAsAtStart();
    const shields::ShieldSwitches& switches = monitor.switches();
    std::size_t changed = 0;
    for (const shields::PlaceStatus& place : places)
        changed += place.watched && !place.matches ? 1 : 0;
    if (options.json) {
        json flags = json::object();
        for (const shields::SwitchInfo& row : shields::SwitchTable())
            flags[row.setting] = switches.*row.flag;
        json result = {{"shieldsActive", switches.shieldsActive},
                       {"switches", flags},
                       {"changed", changed},
                       {"places", PlacesJson(places)}};
        console.out << result.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
    } else {
        PrintText(switches, places, console);
        console.out << "Watched places changed: " << changed << "\n";
    }
    return changed == 0 ? kExitOk : kExitFound;
}

}  // namespace

void AddShieldsCommands(CommandSet& commands) {
    CLI::App* group = commands.app().add_subcommand(
        "shields", "The real-time shields: their switches and the places they keep");
    group->require_subcommand(1);
    auto options = std::make_shared<ShieldsOptions>();
    CLI::App* status = group->add_subcommand(
        "status", "Show the switches and whether each watched place holds what the shields keep");
    status->add_flag("--json", options->json, "One JSON object");
    commands.Add(status, [options](platform::System& system, Console& console) {
        return Status(system, *options, console);
    });
}

}  // namespace cli
