// bxcli db: tools for the Reference file (pack, unpack, info, dump).
#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>
#include <string>

#include "cli/Cli.h"
#include "platform/Text.h"
#include "refdb/ReferenceDatabase.h"
#include "refdb/Scramble.h"

namespace cli {
namespace {

using nlohmann::json;

bool Load(refdb::ReferenceDatabase& db, platform::System& system, Console& console,
          const std::string& file) {
    std::string path = ReferencePath(system, console, file);
    if (!db.LoadReference(path)) {
        console.err << db.LastError() << "\n";
        return false;
    }
    return true;
}

struct Counts {
    std::size_t directories = 0, files = 0, cookies = 0, regKeys = 0, regValues = 0, regData = 0;
};

Counts CountItems(const refdb::ReferenceDatabase& db) {
    Counts c;
    for (const refdb::SpywareEntry& e : db.entries()) {
        c.directories += e.directories.size();
        c.files += e.files.size();
        c.cookies += e.cookies.size();
        c.regKeys += e.regKeys.size();
        c.regValues += e.regValues.size();
        c.regData += e.regData.size();
    }
    return c;
}

void PrintJson(Console& console, const json& value) {
    // Texts from the file may hold bytes that are not UTF-8; they are shown
    // replaced rather than failing the whole output.
    console.out << value.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
}

json EntryJson(const refdb::SpywareEntry& e) {
    json entry = {{"name", e.name},
                  {"dangerLevel", e.dangerLevel},
                  {"ignored", e.ignored},
                  {"description", e.description}};
    json& directories = entry["directories"] = json::array();
    for (const auto& d : e.directories) directories.push_back({{"name", d.name}, {"path", d.path}});
    json& files = entry["files"] = json::array();
    for (const auto& f : e.files) {
        files.push_back({{"name", f.name}, {"path", f.path}, {"md5", f.md5}, {"isLsp", f.isLsp}});
    }
    json& cookies = entry["cookies"] = json::array();
    for (const auto& c : e.cookies) cookies.push_back({{"name", c.name}});
    json& keys = entry["regKeys"] = json::array();
    for (const auto& k : e.regKeys) {
        keys.push_back({{"root", refdb::RootName(k.root)}, {"keyPath", k.keyPath}});
    }
    json& values = entry["regValues"] = json::array();
    for (const auto& v : e.regValues) {
        values.push_back({{"root", refdb::RootName(v.root)},
                          {"keyPath", v.keyPath},
                          {"valueName", v.valueName}});
    }
    json& data = entry["regData"] = json::array();
    for (const auto& d : e.regData) {
        data.push_back({{"root", refdb::RootName(d.root)},
                        {"keyPath", d.keyPath},
                        {"valueName", d.valueName},
                        {"data", d.data},
                        {"fix", d.fix},
                        {"deleteValue", d.deleteValue}});
    }
    return entry;
}

void PrintEntryText(Console& console, const refdb::SpywareEntry& e) {
    std::ostream& out = console.out;
    out << e.name << "\t" << refdb::DangerText(e.dangerLevel) << " (" << e.dangerLevel << ")"
        << (e.ignored ? "\tignored" : "") << "\n";
    if (!e.description.empty()) out << "  Description: " << e.description << "\n";
    for (const auto& d : e.directories) out << "  Directory: " << d.path << "\\" << d.name << "\n";
    for (const auto& f : e.files) {
        out << "  File: " << f.path << "\\" << f.name;
        if (!f.md5.empty()) out << "  MD5 " << f.md5;
        if (f.isLsp) out << "  LSP";
        out << "\n";
    }
    for (const auto& c : e.cookies) out << "  Cookie: " << c.name << "\n";
    for (const auto& k : e.regKeys) out << "  RegKey: " << refdb::RootName(k.root) << "\\" << k.keyPath << "\n";
    for (const auto& v : e.regValues) {
        out << "  RegValue: " << refdb::RootName(v.root) << "\\" << v.keyPath << "\\" << v.valueName
            << "\n";
    }
    for (const auto& d : e.regData) {
        out << "  RegValueData: " << refdb::RootName(d.root) << "\\" << d.keyPath
            << " (Value : " << d.valueName << ") (Data : " << d.data << ") -> "
            << (d.deleteValue ? std::string("delete the value") : "\"" + d.fix + "\"") << "\n";
    }
}

// Reads a file, transforms it and writes the result.
int Convert(platform::System& system, Console& console, const std::string& in,
            const std::string& out, bool checkMarkupFirst) {
    std::string bytes;
    std::string inPath = console.resolvePath(in);
    if (platform::Status status = system.files.ReadFile(inPath, &bytes); status != platform::kSuccess) {
        console.err << "Cannot read " << in << " (error " << status << ")\n";
        return kExitError;
    }
    if (checkMarkupFirst) {
        // Refuse to ship a file the program could not load.
        refdb::ReferenceDatabase db(system);
        if (!db.LoadMarkup(bytes, "")) {
            console.err << in << ": " << db.LastError() << "\n";
            return kExitError;
        }
    }
    refdb::Scramble(bytes);
    if (platform::Status status = system.files.WriteFile(console.resolvePath(out), bytes);
        status != platform::kSuccess) {
        console.err << "Cannot write " << out << " (error " << status << ")\n";
        return kExitError;
    }
    return kExitOk;
}

}  // namespace

void AddDbCommands(CommandSet& commands) {
    CLI::App* group = commands.app().add_subcommand("db", "Reference file tools");
    group->require_subcommand(1);

    auto packIn = std::make_shared<std::string>();
    auto packOut = std::make_shared<std::string>();
    CLI::App* pack = group->add_subcommand("pack", "Scramble signature markup into a Reference file");
    pack->add_option("IN", *packIn, "Plain markup")->required();
    pack->add_option("OUT", *packOut, "Reference file to write")->required();
    commands.Add(pack, [packIn, packOut](platform::System& system, Console& console) {
        return Convert(system, console, *packIn, *packOut, true);
    });

    auto unpackIn = std::make_shared<std::string>();
    auto unpackOut = std::make_shared<std::string>();
    CLI::App* unpack = group->add_subcommand("unpack", "Unscramble a Reference file into markup");
    unpack->add_option("IN", *unpackIn, "Reference file")->required();
    unpack->add_option("OUT", *unpackOut, "Markup to write")->required();
    commands.Add(unpack, [unpackIn, unpackOut](platform::System& system, Console& console) {
        return Convert(system, console, *unpackIn, *unpackOut, false);
    });

    struct ShowOptions {
        std::string file;
        bool json = false;
    };
    auto infoOptions = std::make_shared<ShowOptions>();
    CLI::App* info = group->add_subcommand("info", "Count what a Reference file holds");
    info->add_option("FILE", infoOptions->file, "Reference file (default: the configured one)");
    info->add_flag("--json", infoOptions->json, "One JSON object");
    commands.Add(info, [infoOptions](platform::System& system, Console& console) {
        refdb::ReferenceDatabase db(system);
        if (!Load(db, system, console, infoOptions->file)) return kExitError;
        Counts c = CountItems(db);
        json counts = {{"total", db.total()},
                       {"entries", db.entries().size()},
                       {"directories", c.directories},
                       {"files", c.files},
                       {"cookies", c.cookies},
                       {"regKeys", c.regKeys},
                       {"regValues", c.regValues},
                       {"regData", c.regData},
                       {"classIds", db.classIds().size()},
                       {"executables", db.executables().size()},
                       {"cacheFiles", db.cacheFiles().size()},
                       {"checksums", db.checksums().size()}};
        if (infoOptions->json) {
            PrintJson(console, counts);
            return kExitOk;
        }
        const char* order[] = {"total",     "entries",  "directories", "files",
                               "cookies",   "regKeys",  "regValues",   "regData",
                               "classIds",  "executables", "cacheFiles", "checksums"};
        for (const char* key : order) console.out << key << ": " << counts[key].dump() << "\n";
        return kExitOk;
    });

    auto dumpOptions = std::make_shared<ShowOptions>();
    CLI::App* dump = group->add_subcommand("dump", "Print every entry with its expanded items");
    dump->add_option("FILE", dumpOptions->file, "Reference file (default: the configured one)");
    dump->add_flag("--json", dumpOptions->json, "An array of entries");
    commands.Add(dump, [dumpOptions](platform::System& system, Console& console) {
        refdb::ReferenceDatabase db(system);
        if (!Load(db, system, console, dumpOptions->file)) return kExitError;
        if (dumpOptions->json) {
            json entries = json::array();
            for (const refdb::SpywareEntry& e : db.entries()) entries.push_back(EntryJson(e));
            PrintJson(console, entries);
            return kExitOk;
        }
        for (const refdb::SpywareEntry& e : db.entries()) PrintEntryText(console, e);
        if (!db.classIds().empty()) {
            console.out << "ActiveX\n";
            for (const std::string& id : db.classIds()) console.out << "  CLSID: " << id << "\n";
        }
        return kExitOk;
    });
}

}  // namespace cli
