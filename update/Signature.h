#pragma once
// Ed25519 signatures over update archives (libgcrypt). The server publishes
// beside each archive NAME.zip a detached signature NAME.zip.sig: the 64
// bytes of the Ed25519 signature over the SHA-512 digest of the archive's
// bytes. Keys travel as 64 hexadecimal digits.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace update {

inline constexpr std::size_t kKeySize = 32;
inline constexpr std::size_t kSignatureSize = 64;
inline constexpr std::size_t kDigestSize = 64;  // SHA-512
// The signature file beside an archive.
inline constexpr const char* kSignatureSuffix = ".sig";

using PublicKey = std::array<std::uint8_t, kKeySize>;
// The 32-byte secret seed of a key pair.
using PrivateKey = std::array<std::uint8_t, kKeySize>;

struct KeyPair {
    PrivateKey privateKey{};
    PublicKey publicKey{};
};

// A fresh key pair from the library's strong random source.
std::optional<KeyPair> GenerateKeyPair(std::string* error);

// Plain Ed25519 (RFC 8032) of a short message: the library holds a message
// in one expression, which takes a little under 64 KiB, so longer messages
// are refused.
inline constexpr std::size_t kMaxMessageSize = 4096;
// The 64-byte signature of `message`; nothing (with `error` set) on failure.
std::optional<std::string> Sign(std::string_view message, const PrivateKey& key,
                                std::string* error);
// True only for a well-formed 64-byte signature that `key` made over
// exactly `message`.
bool Verify(std::string_view message, std::string_view signature, const PublicKey& key);

// SHA-512 over bytes fed in pieces, so an archive never has to be in memory
// whole.
class Sha512 {
  public:
    Sha512();
    ~Sha512();
    Sha512(const Sha512&) = delete;
    Sha512& operator=(const Sha512&) = delete;
    void Update(std::string_view bytes);
    // The 64-byte digest of everything fed so far.
    std::string Digest();

  private:
    struct Handle;
    Handle* handle_;
};

// Archives, of any size: the signature is Ed25519 over the SHA-512 digest of
// the archive's bytes.
std::optional<std::string> SignArchive(std::string_view archive, const PrivateKey& key,
                                       std::string* error);
bool VerifyArchiveDigest(std::string_view digest, std::string_view signature, const PublicKey& key);
bool VerifyArchive(std::string_view archive, std::string_view signature, const PublicKey& key);

// Key text: 64 hexadecimal digits, white space around them ignored.
std::string KeyToHex(const std::array<std::uint8_t, kKeySize>& key);
std::optional<std::array<std::uint8_t, kKeySize>> KeyFromHex(std::string_view text);

}  // namespace update
