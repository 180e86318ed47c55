// bxcli activex: the state of the kill bits of the Reference file's class
// identifiers, and turning ActiveX protection on or off as the "ActiveX
// Shields" window does.
#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>
#include <string>

#include "activex/ActiveXProtection.h"
#include "cli/Cli.h"
#include "refdb/ReferenceDatabase.h"

namespace cli {
namespace {

using nlohmann::json;

struct ActiveXOptions {
    bool json = false;
};

// What a class identifier's key of one view says about it.
const char* StateText(const activex::KillBitState& state) {
    if (state.systemSet.value_or(0) == activex::kExempted)
        return "exempted";
    if ((state.flags.value_or(0) & activex::kKillBit) != 0)
        return "blocked";
    return state.keyExists ? "allowed" : "no key";
}

json StateJson(const activex::KillBitState& state) {
    return {{"state", StateText(state)},
            {"keyExists", state.keyExists},
            {"flags", state.flags ? json(*state.flags) : json(nullptr)},
            {"systemSet", state.systemSet ? json(*state.systemSet) : json(nullptr)}};
}

int Status(const refdb::ReferenceDatabase& db, activex::ActiveXShields& shields,
           const std::string& path, const ActiveXOptions& options, Console& console) {
    activex::KillBits& bits = shields.killBits();
    std::size_t blocked = 0, exempted = 0, open = 0;
    json items = json::array();
    for (const std::string& classId : db.classIds()) {
        json views = json::object();
        bool allBlocked = activex::IsClassIdentifier(classId);
        std::string line = classId;
        for (const activex::RegistryView& view : bits.views()) {
            const activex::KillBitState state = bits.Read(classId, view);
            allBlocked = allBlocked && std::string_view(StateText(state)) == "blocked";
            views[view.name] = StateJson(state);
            line += std::string("\t") + view.name + ": " + StateText(state);
        }
        const bool isExempted = bits.IsExcepted(classId);
        if (!activex::IsClassIdentifier(classId))
            line += "\tnot a class identifier";
        isExempted ? ++exempted : (allBlocked ? ++blocked : ++open);
        items.push_back({{"classId", classId}, {"exempted", isExempted}, {"views", views}});
        if (!options.json)
            console.out << line << "\n";
    }
    json names = json::array();
    for (const activex::RegistryView& view : bits.views())
        names.push_back(view.name);
    if (options.json) {
        json result = {{"protection", shields.ProtectionOn()},
                       {"referenceFile", path},
                       {"views", names},
                       {"count", db.classIds().size()},
                       {"blocked", blocked},
                       {"exempted", exempted},
                       {"allowed", open},
                       {"classIds", items}};
        console.out << result.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
    } else {
        console.out << "ActiveX protection: " << (shields.ProtectionOn() ? "on" : "off") << "\n"
                    << "Class identifiers: " << db.classIds().size() << " (" << path << ")\n"
                    << "Blocked in every view: " << blocked << ", exempted: " << exempted
                    << ", allowed: " << open << "\n";
    }
    return kExitOk;
}

int Change(activex::ActiveXShields& shields, bool enable, const ActiveXOptions& options,
           Console& console) {
    const activex::KillBitPass pass = enable ? shields.Enable() : shields.Disable();
    if (options.json) {
        console.out << json{{"protection", shields.ProtectionOn()},
                            {"written", pass.written},
                            {"failed", pass.failed},
                            {"skipped", pass.skipped}}
                           .dump(2)
                    << "\n";
    } else {
        console.out << (enable ? "Kill bits set for " : "Kill bits cleared for ") << pass.written
                    << " class identifiers";
        if (pass.skipped > 0)
            console.out << " (" << pass.skipped << (enable ? " exempted or" : "")
                        << " not class identifiers, left alone)";
        console.out << "\n";
    }
    if (pass.failed > 0) {
        console.err << activex::FailureMessage(pass) << "\n";
        return kExitError;
    }
    return kExitOk;
}

}  // namespace

void AddActiveXCommands(CommandSet& commands) {
    CLI::App* group = commands.app().add_subcommand(
        "activex", "ActiveX protection: the kill bits of the Reference file's class identifiers");
    group->require_subcommand(1);
    struct Verb {
        const char* name;
        const char* help;
    };
    for (const Verb verb : {Verb{"status", "Show each class identifier's kill bit in every view"},
                            Verb{"enable", "Set the kill bits (exempted programs stay allowed)"},
                            Verb{"disable", "Clear every kill bit"}}) {
        auto options = std::make_shared<ActiveXOptions>();
        CLI::App* command = group->add_subcommand(verb.name, verb.help);
        command->add_flag("--json", options->json, "One JSON object");
        const std::string name = verb.name;
        commands.Add(command, [options, name](platform::System& system, Console& console) {
            refdb::ReferenceDatabase db(system);
            const std::string path = ReferencePath(system, console, "");
            if (!db.LoadReference(path)) {
                console.err << db.LastError() << "\n";
                return kExitError;
            }
            activex::ActiveXShields shields(system, db.classIds());
            if (name == "status")
                return Status(db, shields, path, *options, console);
            return Change(shields, name == "enable", *options, console);
        });
    }
}

}  // namespace cli
