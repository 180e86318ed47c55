#include "butils/ImportPatch.h"

namespace butils {

namespace {

void WriteSlot(void** slot, void* value) {
    DWORD oldProtection = 0;
    if (!::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtection))
        return;
    ::InterlockedExchangePointer(slot, value);
    DWORD ignored = 0;
    ::VirtualProtect(slot, sizeof(void*), oldProtection, &ignored);
}

}  // namespace

std::vector<PatchedSlot> PatchImports(HMODULE module, void* original, void* replacement) {
    std::vector<PatchedSlot> patched;
    if (module == nullptr || original == nullptr)
        return patched;
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return patched;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) {
        return patched;
    }
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return patched;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        // The bound slots, by address: a forwarded import (kernel32 to
        // kernelbase, an API set to its host) holds the final address too.
        for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
             thunk->u1.Function != 0; ++thunk) {
            auto** slot = reinterpret_cast<void**>(&thunk->u1.Function);
            if (*slot == original) {
                WriteSlot(slot, replacement);
                patched.push_back({slot, original});
            }
        }
    }
    return patched;
}

void RestoreImports(const std::vector<PatchedSlot>& slots) {
    for (const PatchedSlot& patched : slots)
        WriteSlot(patched.slot, patched.original);
}

}  // namespace butils
