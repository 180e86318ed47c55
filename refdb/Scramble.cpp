#include "refdb/Scramble.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace refdb {

void Scramble(std::string& bytes) {
    // Eight bytes at a time: Reference files run to tens of megabytes and the
    // byte loop is not vectorised at every optimisation level.
    constexpr std::uint64_t kWordKey = 0x0101010101010101ull * kScrambleKey;
    char* data = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= size; i += sizeof(std::uint64_t)) {
        std::uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        word ^= kWordKey;
        std::memcpy(data + i, &word, sizeof word);
    }
    for (; i < size; ++i) {
        data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) ^ kScrambleKey);
    }
}

std::string Scrambled(std::string_view bytes) {
    std::string out(bytes);
    Scramble(out);
    return out;
}

}  // namespace refdb
