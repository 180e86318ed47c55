#pragma once
// The registry reads and writes the shields share: texts of any length and
// the values of a key with their data.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace shields {

// The value's data up to its first zero, whatever its length (the size is
// asked first, and asked again when the value grew meanwhile); empty when
// the key or value is missing (then `present`, when given, is false).
std::string ReadText(platform::Registry& registry, platform::HKey root, std::string_view path,
                     std::string_view name, bool* present = nullptr);
// REG_SZ with the terminating zero; the key is created when missing. True
// on success.
bool WriteText(platform::Registry& registry, platform::HKey root, std::string_view path,
               std::string_view name, std::string_view text);

struct NamedData {
    std::string name;
    std::string data;  // up to the first zero, whole, whatever the type
};

// Every value of the key in enumeration order; `opened` (may be null) tells
// whether the key could be read.
std::vector<NamedData> ReadValues(platform::Registry& registry, platform::HKey root,
                                  std::string_view path, bool* opened = nullptr);

// Deletes every value whose data equals `data` (ASCII case folded), the
// others untouched. The number deleted; `failed` (may be null) counts the
// deletions the registry refused.
int DeleteValuesWithData(platform::Registry& registry, platform::HKey root, std::string_view path,
                         std::string_view data, int* failed = nullptr);

}  // namespace shields
