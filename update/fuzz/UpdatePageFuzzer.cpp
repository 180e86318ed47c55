// The update page and the signature file come from the network: neither may
// crash the parsing of what the server sends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "update/DownloadWorker.h"
#include "update/Signature.h"
#include "update/UpdateKey.h"
#include "update/UpdatePage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string name = update::ExtractPageBody(input);
    if (update::IsUsableArchiveName(name) && name.find_first_of("/\\:") != std::string::npos) {
        __builtin_trap();  // a usable name never reaches into another folder
    }
    // The first bytes as a signature over the rest, under the program's key;
    // then the first 32 bytes as a key of their own (keys from files).
    std::string signature = input.substr(0, std::min<std::size_t>(size, update::kSignatureSize));
    update::VerifyArchive(input.substr(signature.size()), signature, update::UpdatePublicKey());
    if (size >= update::kKeySize + update::kSignatureSize) {
        update::PublicKey key;
        std::memcpy(key.data(), data, key.size());
        update::VerifyArchive(input.substr(key.size() + update::kSignatureSize),
                              input.substr(key.size(), update::kSignatureSize), key);
    }
    return 0;
}
