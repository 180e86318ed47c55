// Ed25519 and SHA-512 through libgcrypt: the published test vectors,
// signatures over archives of any size, tampering, and the key text format.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "update/Signature.h"

namespace {

using update::KeyFromHex;
using update::KeyToHex;

std::string Bytes(std::string_view hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return out;
}

struct Vector {
    const char* secret;
    const char* publicKey;
    const char* message;
    const char* signature;
};

// RFC 8032, section 7.1, tests 1 to 3.
constexpr Vector kRfcVectors[] = {
    {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b"
     "4"
     "6bd25bf5f0595bbe24655141438e7a100b"},
    {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11"
     "d"
     "8c387b2eaeb4302aeeb00d291612bb0c00"},
    {"c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
     "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc"
     "6"
     "594a7c15e9716ed28dc027beceea1ec40a"},
};

TEST(SignatureTest, SignsAndVerifiesThePublishedVectorsByteForByte) {
    for (const Vector& v : kRfcVectors) {
        SCOPED_TRACE(v.publicKey);
        std::optional<update::PrivateKey> secret = KeyFromHex(v.secret);
        std::optional<update::PublicKey> publicKey = KeyFromHex(v.publicKey);
        ASSERT_TRUE(secret && publicKey);
        std::string message = Bytes(v.message);
        std::string error;
        std::optional<std::string> signature = update::Sign(message, *secret, &error);
        ASSERT_TRUE(signature) << error;
        EXPECT_EQ(*signature, Bytes(v.signature));
        EXPECT_TRUE(update::Verify(message, Bytes(v.signature), *publicKey));
    }
}

TEST(SignatureTest, MessagesTooLongForTheLibraryAreRefusedNotMissigned) {
    std::optional<update::PrivateKey> secret = KeyFromHex(kRfcVectors[0].secret);
    std::optional<update::PublicKey> publicKey = KeyFromHex(kRfcVectors[0].publicKey);
    ASSERT_TRUE(secret && publicKey);
    std::string error;
    EXPECT_TRUE(update::Sign(std::string(update::kMaxMessageSize, 'a'), *secret, &error)) << error;
    EXPECT_FALSE(update::Sign(std::string(70000, 'a'), *secret, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(update::Verify(std::string(70000, 'a'), std::string(64, 'x'), *publicKey));
}

TEST(Sha512Test, DigestsMatchThePublishedValueInPiecesOrWhole) {
    update::Sha512 whole;
    whole.Update("abc");
    EXPECT_EQ(whole.Digest(),
              Bytes("ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1"
                    "a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"));
    update::Sha512 pieces;
    pieces.Update("a");
    pieces.Update("");
    pieces.Update("bc");
    EXPECT_EQ(pieces.Digest(), whole.Digest());
}

// Archives are far larger than the library takes in one message.
class ArchiveSignatureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        std::optional<update::KeyPair> pair = update::GenerateKeyPair(&error);
        ASSERT_TRUE(pair) << error;
        keys = *pair;
        archive.resize((1u << 20) + 3);
        unsigned state = 12345;
        for (char& c : archive) {
            state = state * 1103515245u + 12345u;
            c = static_cast<char>(state >> 24);
        }
        std::optional<std::string> made = update::SignArchive(archive, keys.privateKey, &error);
        ASSERT_TRUE(made) << error;
        signature = *made;
    }

    update::KeyPair keys;
    std::string archive;
    std::string signature;
};

TEST_F(ArchiveSignatureTest, ASignatureHoldsForItsArchiveAndKeyOnly) {
    ASSERT_EQ(signature.size(), update::kSignatureSize);
    EXPECT_TRUE(update::VerifyArchive(archive, signature, keys.publicKey));
    update::Sha512 hash;
    hash.Update(archive);
    EXPECT_TRUE(update::VerifyArchiveDigest(hash.Digest(), signature, keys.publicKey));
    EXPECT_TRUE(update::Verify(hash.Digest(), signature, keys.publicKey));

    for (std::size_t at : {std::size_t{0}, std::size_t{65535}, std::size_t{65536},
                           archive.size() / 2, archive.size() - 1}) {
        std::string changed = archive;
        changed[at] = static_cast<char>(changed[at] ^ 0x01);
        EXPECT_FALSE(update::VerifyArchive(changed, signature, keys.publicKey)) << "byte " << at;
    }
    // Every single changed bit of the signature is caught.
    for (std::size_t bit = 0; bit < signature.size() * 8; ++bit) {
        std::string changed = signature;
        changed[bit / 8] = static_cast<char>(changed[bit / 8] ^ (1 << (bit % 8)));
        EXPECT_FALSE(update::VerifyArchive(archive, changed, keys.publicKey))
            << "signature bit " << bit;
    }
    EXPECT_FALSE(update::VerifyArchive(archive + "x", signature, keys.publicKey));
    EXPECT_FALSE(update::VerifyArchive(archive.substr(1), signature, keys.publicKey));

    std::string error;
    std::optional<update::KeyPair> other = update::GenerateKeyPair(&error);
    ASSERT_TRUE(other) << error;
    EXPECT_NE(other->publicKey, keys.publicKey);
    EXPECT_FALSE(update::VerifyArchive(archive, signature, other->publicKey));
}

TEST_F(ArchiveSignatureTest, SignaturesOfTheWrongShapeAreRefused) {
    EXPECT_FALSE(update::VerifyArchive(archive, "", keys.publicKey));
    EXPECT_FALSE(update::VerifyArchive(archive, signature.substr(0, 63), keys.publicKey));
    EXPECT_FALSE(update::VerifyArchive(archive, signature + '\0', keys.publicKey));
    // A web server's "not found" page where the signature should be.
    EXPECT_FALSE(
        update::VerifyArchive(archive, "<html><body>404 Not Found</body></html>", keys.publicKey));
    EXPECT_FALSE(update::VerifyArchive(archive, std::string(64, '\0'), keys.publicKey));
    // A digest of the wrong length is no digest.
    EXPECT_FALSE(update::VerifyArchiveDigest("short", signature, keys.publicKey));
    // A key that is no point of the curve verifies nothing.
    update::PublicKey bogus;
    bogus.fill(0xFF);
    EXPECT_FALSE(update::VerifyArchive(archive, signature, bogus));
}

TEST_F(ArchiveSignatureTest, KeysTheLibraryCannotDecodeAreRefusedWithoutAborting) {
    // y below 2^192: the library would abort the process decoding these.
    update::PublicKey small{};
    small[0] = 0x3d;
    EXPECT_FALSE(update::VerifyArchive(archive, signature, small));
    update::PublicKey topLimbZero = keys.publicKey;
    std::fill(topLimbZero.begin() + 24, topLimbZero.end(), 0);
    EXPECT_FALSE(update::VerifyArchive(archive, signature, topLimbZero));
    topLimbZero[31] = 0x80;  // the sign bit alone does not count
    EXPECT_FALSE(update::VerifyArchive(archive, signature, topLimbZero));
    // y at or above 2^255 - 19 is no canonical encoding.
    update::PublicKey tooLarge;
    tooLarge.fill(0xFF);
    tooLarge[31] = 0x7F;
    tooLarge[0] = 0xED;
    EXPECT_FALSE(update::VerifyArchive(archive, signature, tooLarge));
    // The real key still verifies after all that.
    EXPECT_TRUE(update::VerifyArchive(archive, signature, keys.publicKey));
}

TEST(KeyTextTest, KeysRoundTripThroughHex) {
    std::string hex = "00ff10a0" + std::string(56, '7');
    std::optional<update::PublicKey> key = KeyFromHex(hex);
    ASSERT_TRUE(key);
    EXPECT_EQ((*key)[0], 0x00);
    EXPECT_EQ((*key)[1], 0xFF);
    EXPECT_EQ((*key)[2], 0x10);
    EXPECT_EQ((*key)[3], 0xA0);
    EXPECT_EQ((*key)[31], 0x77);
    EXPECT_EQ(KeyToHex(*key), hex);

    // Upper case and the white space a key file carries around it.
    std::optional<update::PublicKey> upper =
        KeyFromHex("  00FF10A0" + std::string(56, '7') + "\r\n");
    ASSERT_TRUE(upper);
    EXPECT_EQ(*upper, *key);
}

TEST(KeyTextTest, AnythingButSixtyFourHexDigitsIsRefused) {
    std::string good(64, 'a');
    EXPECT_TRUE(KeyFromHex(good));
    EXPECT_FALSE(KeyFromHex(good.substr(1)));
    EXPECT_FALSE(KeyFromHex(good + "a"));
    EXPECT_FALSE(KeyFromHex(""));
    EXPECT_FALSE(KeyFromHex(std::string(63, 'a') + "g"));
    EXPECT_FALSE(KeyFromHex(std::string(32, 'a') + " " + std::string(31, 'a')));
    EXPECT_FALSE(KeyFromHex("0x" + std::string(62, 'a')));
}

}  // namespace
