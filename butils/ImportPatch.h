#pragma once
// Import-table patching: the slots through which a module calls an imported
// function are pointed at a replacement, and back again.
#include <vector>

#include "platform/win32/Windows.h"

namespace butils {

struct PatchedSlot {
    void** slot;
    void* original;
};

// Points every import slot of `module` that holds `original` at
// `replacement`. Returns the slots changed (empty when none held it).
std::vector<PatchedSlot> PatchImports(HMODULE module, void* original, void* replacement);
// Puts the original addresses back.
void RestoreImports(const std::vector<PatchedSlot>& slots);

}  // namespace butils
