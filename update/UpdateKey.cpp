#include "update/UpdateKey.h"

#ifdef BX_UPDATE_TEST_KEY
#include <cstdlib>
#endif

namespace update {
namespace {

// Made with "bxcli db keygen" (public key
// f8f8d4709f0a27305077d70b419ecb204de35fdddce3f0300cf982ec019c924c); the
// publisher keeps the private half.
constexpr PublicKey kReleaseKey = {
    0xf8, 0xf8, 0xd4, 0x70, 0x9f, 0x0a, 0x27, 0x30, 0x50, 0x77, 0xd7, 0x0b, 0x41, 0x9e, 0xcb, 0x20,
    0x4d, 0xe3, 0x5f, 0xdd, 0xdc, 0xe3, 0xf0, 0x30, 0x0c, 0xf9, 0x82, 0xec, 0x01, 0x9c, 0x92, 0x4c,
};

}  // namespace

PublicKey UpdatePublicKey() {
#ifdef BX_UPDATE_TEST_KEY
    if (const char* hex = std::getenv("BX_TEST_UPDATE_KEY"); hex != nullptr) {
        if (std::optional<PublicKey> key = KeyFromHex(hex))
            return *key;
    }
#endif
    return kReleaseKey;
}

}  // namespace update
