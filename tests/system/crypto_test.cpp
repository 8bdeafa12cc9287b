// The system's ECDSA P-256 as the signed update uses it: a published
// answer, a round trip, and every kind of damage refused; and SHA-256, the
// digest it signs.

#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include "system/p256_key.h"
#include "system/sha256.h"

namespace {

template <size_t N>
std::array<unsigned char, N> FromHex(const std::string& hex)
{
    std::array<unsigned char, N> bytes{};
    for (size_t i = 0; i < N; ++i)
        bytes[i] = static_cast<unsigned char>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    return bytes;
}

// RFC 6979, A.2.5: P-256, SHA-256, message "sample".
const P256PublicKey rfcKey = FromHex<64>(
    "60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6"
    "7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299");
const P256Signature rfcSignature = FromHex<64>(
    "EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"
    "F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8");

}  // namespace

TEST(Crypto, VerifiesOnlyTheSignedDigestUnderItsKey)
{
    const Sha256::Digest sample = Sha256::Of("sample", 6);
    P256PublicKey otherPoint = rfcKey;
    otherPoint[63] ^= 1;  // no longer on the curve
    P256PublicKey fresh;
    P256Secret secret;
    GenerateP256Key(fresh, secret);
    const struct {
        const char* what;
        P256PublicKey key;
        Sha256::Digest digest;
        int flipByte;  // of the signature; -1: none
        bool valid;
    } rows[] = {
        {"the published answer", rfcKey, sample, -1, true},
        {"a bit of r", rfcKey, sample, 5, false},
        {"a bit of s", rfcKey, sample, 40, false},
        {"another message", rfcKey, Sha256::Of("samplf", 6), -1, false},
        {"a point off the curve", otherPoint, sample, -1, false},
        {"another key", fresh, sample, -1, false},
    };
    for (const auto& row : rows) {
        P256Signature signature = rfcSignature;
        if (row.flipByte >= 0)
            signature[size_t(row.flipByte)] ^= 0x10;
        EXPECT_EQ(row.valid, VerifyP256(row.key, row.digest, signature)) << row.what;
    }
    P256Signature zero{};
    EXPECT_FALSE(VerifyP256(rfcKey, sample, zero)) << "r = s = 0";
}

TEST(Crypto, SignsWithAGeneratedKey)
{
    P256PublicKey key;
    P256Secret secret;
    GenerateP256Key(key, secret);
    const Sha256::Digest digest = Sha256::Of("update-manifest 1\n", 18);
    const P256Signature first = SignP256(key, secret, digest);
    const P256Signature second = SignP256(key, secret, digest);
    EXPECT_NE(first, second) << "ECDSA takes a fresh random number for each signature";
    EXPECT_TRUE(VerifyP256(key, digest, first));
    EXPECT_TRUE(VerifyP256(key, digest, second));

    P256PublicKey otherKey;
    P256Secret otherSecret;
    GenerateP256Key(otherKey, otherSecret);
    EXPECT_NE(key, otherKey);
    EXPECT_FALSE(VerifyP256(otherKey, digest, first));
}

TEST(Sha256, FipsExamplesInPiecesOfAnySize)
{
    // FIPS 180-4 examples, each given whole and in pieces of 1, 7 and 63
    // bytes, so that every way across a 64-byte block is taken.
    const struct {
        std::string data;
        const char* digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    Sha256 sha;
    for (const auto& row : rows) {
        for (size_t piece : {size_t(0), size_t(1), size_t(7), size_t(63)}) {
            const size_t step = piece ? piece : row.data.size() + 1;
            for (size_t at = 0; at < row.data.size(); at += step)
                sha.Add(row.data.data() + at, std::min(step, row.data.size() - at));
            EXPECT_EQ(row.digest, sha.Finish()) << row.data.size() << " bytes in pieces of " << piece;
        }
    }
}
