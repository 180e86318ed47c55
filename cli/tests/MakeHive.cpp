// Test helper: writes a hive file holding one key of a .reg file, e.g.
//   bx_make_hive machine.reg "HKEY_LOCAL_MACHINE\SOFTWARE" SOFTWARE
// The hive starts as an empty one of our own and is filled through hivex.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/Text.h"
#include "platform/host/HiveFile.h"
#include "platform/host/MemoryRegistry.h"
#include "platform/host/RegFile.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: bx_make_hive REGFILE KEY HIVE\n";
        return 2;
    }
    const std::string key = argv[2];
    const std::size_t slash = key.find('\\');
    const platform::HKey root = platform::host::RootFromName(key.substr(0, slash));
    const std::string path = slash == std::string::npos ? "" : key.substr(slash + 1);
    if (root == platform::kNullKey) {
        std::cerr << "bx_make_hive: unknown root in " << key << "\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    platform::host::MemoryRegistry registry;
    platform::host::MountedHive hive;
    if (!platform::host::WriteEmptyHive(argv[3], &error) || !hive.Open(argv[3], &error) ||
        !hive.Load(registry, root, path, {}, &error)) {
        std::cerr << "bx_make_hive: " << error << "\n";
        return 2;
    }
    if (platform::host::ImportRegText(registry, text.str(), &error) != platform::kSuccess) {
        std::cerr << "bx_make_hive: " << argv[1] << ": " << error << "\n";
        return 2;
    }
    if (!hive.Save(registry, nullptr, &error)) {
        std::cerr << "bx_make_hive: " << error << "\n";
        return 2;
    }
    // The copy of the empty hive is of no use to a fixture.
    std::remove((std::string(argv[3]) + std::string(platform::host::kHiveBackupSuffix)).c_str());
    return 0;
}
