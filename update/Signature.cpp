#include "update/Signature.h"

#include <gcrypt.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "platform/Text.h"

namespace update {
namespace {

void InitializeLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Another part of the program may have set the library up already.
        if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) != 0)
            return;
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

struct SexpDeleter {
    void operator()(gcry_sexp* sexp) const { gcry_sexp_release(sexp); }
};
using Sexp = std::unique_ptr<gcry_sexp, SexpDeleter>;

Sexp Build(gcry_error_t* error, const char* format, int size, const void* data) {
    gcry_sexp_t built = nullptr;
    *error = gcry_sexp_build(&built, nullptr, format, size, data);
    return Sexp(*error == 0 ? built : nullptr);
}

Sexp MessageSexp(std::string_view message, gcry_error_t* error) {
    return Build(error, "(data (flags eddsa) (hash-algo sha512) (value %b))",
                 static_cast<int>(message.size()), message.data());
}

// The bytes of token `name` below `parent`, left-padded to `width` (the
// library may drop leading zero bytes of a number); false when absent or
// longer.
bool TokenBytes(gcry_sexp_t parent, const char* name, std::size_t width, std::string* out) {
    Sexp token(gcry_sexp_find_token(parent, name, 0));
    if (!token)
        return false;
    std::size_t length = 0;
    const char* data = gcry_sexp_nth_data(token.get(), 1, &length);
    if (data == nullptr || length > width)
        return false;
    out->assign(width - length, '\0');
    out->append(data, length);
    return true;
}

// A public key the library can decode safely: a canonical y coordinate
// (below 2^255 - 19) whose top 64 bits are not all zero. The library aborts
// the process on keys of that second kind instead of reporting an error; no
// generated key is one (the chance is 2^-63).
bool IsDecodableKey(const PublicKey& key) {
    bool topLimbZero = (key[31] & 0x7F) == 0;
    for (std::size_t i = 24; i < 31; ++i)
        topLimbZero = topLimbZero && key[i] == 0;
    if (topLimbZero)
        return false;
    // y >= p only when bits 8 to 254 are all set and the low byte is 0xED or more.
    bool allOnes = (key[31] & 0x7F) == 0x7F;
    for (std::size_t i = 1; i < 31; ++i)
        allOnes = allOnes && key[i] == 0xFF;
    return !(allOnes && key[0] >= 0xED);
}

std::string ErrorText(gcry_error_t error) {
    return std::string(gcry_strsource(error)) + ": " + gcry_strerror(error);
}

}  // namespace

std::optional<KeyPair> GenerateKeyPair(std::string* error) {
    InitializeLibrary();
    gcry_sexp_t built = nullptr;
    gcry_error_t status =
        gcry_sexp_build(&built, nullptr, "(genkey (ecc (curve Ed25519) (flags eddsa)))");
    if (status != 0) {
        *error = ErrorText(status);
        return std::nullopt;
    }
    Sexp parameters(built);
    gcry_sexp_t generated = nullptr;
    if (status = gcry_pk_genkey(&generated, parameters.get()); status != 0) {
        *error = ErrorText(status);
        return std::nullopt;
    }
    Sexp keyData(generated);
    Sexp privatePart(gcry_sexp_find_token(keyData.get(), "private-key", 0));
    std::string secret, point;
    if (!privatePart || !TokenBytes(privatePart.get(), "d", kKeySize, &secret) ||
        !TokenBytes(privatePart.get(), "q", kKeySize, &point)) {
        *error = "the generated key has an unexpected form";
        return std::nullopt;
    }
    KeyPair pair;
    std::copy(secret.begin(), secret.end(), pair.privateKey.begin());
    std::copy(point.begin(), point.end(), pair.publicKey.begin());
    return pair;
}

std::optional<std::string> Sign(std::string_view message, const PrivateKey& key,
                                std::string* error) {
    if (message.size() > kMaxMessageSize) {
        *error = "message too long to sign directly";
        return std::nullopt;
    }
    InitializeLibrary();
    gcry_error_t status = 0;
    // The public point is derived from the secret seed.
    Sexp secret = Build(&status, "(private-key (ecc (curve Ed25519) (flags eddsa) (d %b)))",
                        static_cast<int>(key.size()), key.data());
    Sexp data = secret ? MessageSexp(message, &status) : nullptr;
    if (!data) {
        *error = ErrorText(status);
        return std::nullopt;
    }
    gcry_sexp_t signed_ = nullptr;
    if (status = gcry_pk_sign(&signed_, data.get(), secret.get()); status != 0) {
        *error = ErrorText(status);
        return std::nullopt;
    }
    Sexp signature(signed_);
    std::string r, s;
    if (!TokenBytes(signature.get(), "r", kSignatureSize / 2, &r) ||
        !TokenBytes(signature.get(), "s", kSignatureSize / 2, &s)) {
        *error = "the signature has an unexpected form";
        return std::nullopt;
    }
    return r + s;
}

bool Verify(std::string_view message, std::string_view signature, const PublicKey& key) {
    if (signature.size() != kSignatureSize || message.size() > kMaxMessageSize ||
        !IsDecodableKey(key)) {
        return false;
    }
    InitializeLibrary();
    gcry_error_t status = 0;
    Sexp publicKey = Build(&status, "(public-key (ecc (curve Ed25519) (flags eddsa) (q %b)))",
                           static_cast<int>(key.size()), key.data());
    Sexp data = publicKey ? MessageSexp(message, &status) : nullptr;
    gcry_sexp_t built = nullptr;
    if (!data || gcry_sexp_build(&built, nullptr, "(sig-val (eddsa (r %b) (s %b)))",
                                 static_cast<int>(kSignatureSize / 2), signature.data(),
                                 static_cast<int>(kSignatureSize / 2),
                                 signature.data() + kSignatureSize / 2) != 0) {
        return false;
    }
    Sexp signatureSexp(built);
    return gcry_pk_verify(signatureSexp.get(), data.get(), publicKey.get()) == 0;
}

struct Sha512::Handle {
    gcry_md_hd_t md = nullptr;
};

Sha512::Sha512() : handle_(new Handle) {
    InitializeLibrary();
    // Only fails for an unknown algorithm; then Digest() gives nothing, which
    // no signature matches.
    gcry_md_open(&handle_->md, GCRY_MD_SHA512, 0);
}

Sha512::~Sha512() {
    gcry_md_close(handle_->md);
    delete handle_;
}

void Sha512::Update(std::string_view bytes) {
    if (handle_->md != nullptr)
        gcry_md_write(handle_->md, bytes.data(), bytes.size());
}

std::string Sha512::Digest() {
    if (handle_->md == nullptr)
        return {};
    const unsigned char* digest = gcry_md_read(handle_->md, GCRY_MD_SHA512);
    return digest == nullptr ? std::string()
                             : std::string(reinterpret_cast<const char*>(digest),
                                           gcry_md_get_algo_dlen(GCRY_MD_SHA512));
}

std::optional<std::string> SignArchive(std::string_view archive, const PrivateKey& key,
                                       std::string* error) {
    Sha512 hash;
    hash.Update(archive);
    return Sign(hash.Digest(), key, error);
}

bool VerifyArchiveDigest(std::string_view digest, std::string_view signature,
                         const PublicKey& key) {
    return digest.size() == kDigestSize && Verify(digest, signature, key);
}

bool VerifyArchive(std::string_view archive, std::string_view signature, const PublicKey& key) {
    Sha512 hash;
    hash.Update(archive);
    return VerifyArchiveDigest(hash.Digest(), signature, key);
}

std::string KeyToHex(const std::array<std::uint8_t, kKeySize>& key) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(key.size() * 2);
    for (std::uint8_t byte : key) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

std::optional<std::array<std::uint8_t, kKeySize>> KeyFromHex(std::string_view text) {
    text = text::Trim(text);
    if (text.size() != kKeySize * 2)
        return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        c = text::ToLowerAscii(c);
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::array<std::uint8_t, kKeySize> key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        int high = digit(text[2 * i]);
        int low = digit(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        key[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return key;
}

}  // namespace update
