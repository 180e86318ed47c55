// bxcli settings: write the defaults, read, write and list the settings.
#include <ostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Text.h"
#include "registry/RegistryKey.h"
#include "settings/SettingsStore.h"
#include "settings/Strings.h"

namespace cli {
namespace {

struct ListedValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
};

// Every value under the settings key, in the registry's order.
bool ReadAllSettings(platform::Registry& registry, std::vector<ListedValue>* values) {
    try {
        CRegistryKey key(registry, platform::kHkeyCurrentUser, settings::strings::kSettingsKey,
                         platform::kKeyRead);
        for (auto it = key.BeginValueIteration(); it != key.EndValueIteration(); ++it) {
            CRegistryKey::Value value = *it;
            const std::vector<std::uint8_t>& data = value.GetData();
            values->push_back(
                {value.GetName(), value.GetType(), std::string(data.begin(), data.end())});
        }
        return true;
    } catch (const CRegistryKey::Exception&) {
        return false;
    }
}

std::string DisplayData(const ListedValue& value) {
    if ((value.type == platform::kRegDword || value.type == platform::kRegDwordBigEndian) &&
        value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number =
                (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
        }
        return std::to_string(number);
    }
    std::string_view textValue = value.data;
    if (std::size_t zero = textValue.find('\0'); zero != std::string_view::npos) {
        textValue = textValue.substr(0, zero);
    }
    return std::string(textValue);
}

void PrintSettings(Console& console, const std::vector<ListedValue>& values) {
    for (const ListedValue& value : values) {
        console.out << value.name << '=' << DisplayData(value) << '\n';
    }
}

}  // namespace

void AddSettingsCommands(CommandSet& commands) {
    CLI::App* settings = commands.app().add_subcommand(
        "settings", "Read and write the settings under HKEY_CURRENT_USER\\Software\\Brindlex5");
    settings->require_subcommand(1);

    CLI::App* defaults =
        settings->add_subcommand("defaults", "Write the full default settings table");
    commands.Add(defaults, [](platform::System& system, Console& console) {
        settings::SettingsStore store(system);
        if (!store.WriteDefaultSettings()) {
            console.err << "Could not create HKEY_CURRENT_USER\\" << settings::strings::kSettingsKey
                        << "\n";
            return kExitError;
        }
        std::vector<ListedValue> values;
        ReadAllSettings(system.registry, &values);
        console.out << "Wrote " << values.size() << " default settings to HKEY_CURRENT_USER\\"
                    << settings::strings::kSettingsKey << "\n";
        PrintSettings(console, values);
        return kExitOk;
    });

    auto name = std::make_shared<std::string>();
    CLI::App* get = settings->add_subcommand("get", "Print one setting (exit 1 when it is absent)");
    get->add_option("NAME", *name, "Value name, for example rfp")->required();
    commands.Add(get, [name](platform::System& system, Console& console) {
        settings::SettingsStore store(system);
        if (settings::IsDwordSetting(*name)) {
            std::vector<ListedValue> values;
            ReadAllSettings(system.registry, &values);
            for (const ListedValue& value : values) {
                if (text::EqualsNoCase(value.name, *name)) {
                    console.out << DisplayData(value) << "\n";
                    return kExitOk;
                }
            }
            return kExitFound;
        }
        std::string value;
        if (!store.GetSetting(*name, &value))
            return kExitFound;
        console.out << value << "\n";
        return kExitOk;
    });

    auto setName = std::make_shared<std::string>();
    auto setValue = std::make_shared<std::string>();
    CLI::App* set = settings->add_subcommand("set", "Write one setting");
    set->add_option("NAME", *setName, "Value name")->required();
    set->add_option("VALUE", *setValue, "New value (a number for scantype, sbfolders, zipfiles)")
        ->required();
    commands.Add(set, [setName, setValue](platform::System& system, Console& console) {
        settings::SettingsStore store(system);
        bool written;
        if (settings::IsDwordSetting(*setName)) {
            std::uint32_t number = 0;
            try {
                std::size_t used = 0;
                unsigned long parsed = std::stoul(*setValue, &used, 0);
                if (used != setValue->size() || parsed > 0xFFFFFFFFul)
                    throw std::out_of_range("");
                number = static_cast<std::uint32_t>(parsed);
            } catch (const std::exception&) {
                console.err << "\"" << *setValue << "\" is not a number\n";
                return kExitError;
            }
            written = store.SetDword(*setName, number);
        } else {
            written = store.SetSetting(*setName, *setValue);
        }
        if (!written) {
            console.err << "Could not write \"" << *setName
                        << "\" (run \"bxcli settings defaults\" first)\n";
            return kExitError;
        }
        return kExitOk;
    });

    CLI::App* list = settings->add_subcommand("list", "Print every setting as NAME=VALUE");
    commands.Add(list, [](platform::System& system, Console& console) {
        std::vector<ListedValue> values;
        if (!ReadAllSettings(system.registry, &values)) {
            console.err << "No settings at HKEY_CURRENT_USER\\" << settings::strings::kSettingsKey
                        << "\n";
            return kExitError;
        }
        PrintSettings(console, values);
        return kExitOk;
    });
}

}  // namespace cli
