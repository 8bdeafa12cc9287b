#include "system/p256_key.h"

#include <cstring>
#include <vector>
#include "base/owned.h"
#include "system/system_crypto.h"

namespace {

const NTSTATUS statusInvalidSignature = NTSTATUS(0xC000A000u);

void DestroyKey(BCRYPT_KEY_HANDLE key)
{
    Crypto().DestroyKey(key);
}

typedef Owned<BCRYPT_KEY_HANDLE, DestroyKey> KeyOwner;

BCRYPT_ALG_HANDLE Algorithm()
{
    return CryptoAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
}

// The system's key blob: its header, then X, Y and (private) d.
std::vector<unsigned char> KeyBlob(ULONG magic, const P256PublicKey& point, const P256Secret* secret)
{
    BCRYPT_ECCKEY_BLOB header;
    header.dwMagic = magic;
    header.cbKey = 32;
    std::vector<unsigned char> blob(sizeof header + point.size() + (secret ? secret->size() : 0));
    memcpy(blob.data(), &header, sizeof header);
    memcpy(blob.data() + sizeof header, point.data(), point.size());
    if (secret)
        memcpy(blob.data() + sizeof header + point.size(), secret->data(), secret->size());
    return blob;
}

}  // namespace

bool VerifyP256(const P256PublicKey& key, const Sha256::Digest& digest,
                const P256Signature& signature)
{
    const SystemCrypto& crypto = Crypto();
    std::vector<unsigned char> blob = KeyBlob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, key, nullptr);
    BCRYPT_KEY_HANDLE imported = nullptr;
    const BCRYPT_ALG_HANDLE algorithm = Algorithm();
    if (crypto.ImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported, blob.data(),
                             ULONG(blob.size()), 0) < 0)
        return false;  // no point of the curve
    const KeyOwner owner(imported);
    Sha256::Digest hash = digest;
    P256Signature copy = signature;
    const NTSTATUS status = crypto.VerifySignature(imported, nullptr, hash.data(), ULONG(hash.size()),
                                                   copy.data(), ULONG(copy.size()), 0);
    if (status == statusInvalidSignature)
        return false;
    CheckCryptoStatus(status);
    return true;
}

void GenerateP256Key(P256PublicKey& publicKey, P256Secret& secret)
{
    const SystemCrypto& crypto = Crypto();
    BCRYPT_KEY_HANDLE made = nullptr;
    CheckCryptoStatus(crypto.GenerateKeyPair(Algorithm(), &made, 256, 0));
    const KeyOwner owner(made);
    CheckCryptoStatus(crypto.FinalizeKeyPair(made, 0));
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    ULONG got = 0;
    CheckCryptoStatus(crypto.ExportKey(made, nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                       ULONG(blob.size()), &got, 0));
    BCRYPT_ECCKEY_BLOB header;
    memcpy(&header, blob.data(), sizeof header);
    if (got != blob.size() || header.cbKey != 32)
        CheckCryptoStatus(NTSTATUS(0xC0000001u));  // STATUS_UNSUCCESSFUL: not the blob asked for
    memcpy(publicKey.data(), blob.data() + sizeof header, publicKey.size());
    memcpy(secret.data(), blob.data() + sizeof header + publicKey.size(), secret.size());
    SecureZeroMemory(blob.data(), blob.size());
}

P256Signature SignP256(const P256PublicKey& publicKey, const P256Secret& secret,
                       const Sha256::Digest& digest)
{
    const SystemCrypto& crypto = Crypto();
    std::vector<unsigned char> blob = KeyBlob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, publicKey, &secret);
    BCRYPT_KEY_HANDLE imported = nullptr;
    const NTSTATUS status = crypto.ImportKeyPair(Algorithm(), nullptr, BCRYPT_ECCPRIVATE_BLOB,
                                                 &imported, blob.data(), ULONG(blob.size()), 0);
    SecureZeroMemory(blob.data(), blob.size());
    CheckCryptoStatus(status);
    const KeyOwner owner(imported);
    Sha256::Digest hash = digest;
    P256Signature signature;
    ULONG got = 0;
    CheckCryptoStatus(crypto.SignHash(imported, nullptr, hash.data(), ULONG(hash.size()),
                                      signature.data(), ULONG(signature.size()), &got, 0));
    if (got != signature.size())
        CheckCryptoStatus(NTSTATUS(0xC0000001u));
    return signature;
}
