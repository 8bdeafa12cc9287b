#include "system/sha256.h"

#include "system/system_crypto.h"

namespace {

BCRYPT_ALG_HANDLE Algorithm()
{
    return CryptoAlgorithm(BCRYPT_SHA256_ALGORITHM);
}

}  // namespace

Sha256::Sha256() : hash_(nullptr)
{
    DWORD length = 0;
    ULONG got = 0;
    CheckCryptoStatus(Crypto().GetProperty(Algorithm(), BCRYPT_OBJECT_LENGTH,
                                           reinterpret_cast<PUCHAR>(&length), sizeof length, &got, 0));
    state_.resize(length ? length : 1);
    Begin();
}

Sha256::~Sha256()
{
    End();
}

void Sha256::Begin()
{
    BCRYPT_HASH_HANDLE hash = nullptr;
    CheckCryptoStatus(Crypto().CreateHash(Algorithm(), &hash, state_.data(), ULONG(state_.size()),
                                          nullptr, 0, 0));
    hash_ = hash;
}

void Sha256::End()
{
    if (hash_)
        Crypto().DestroyHash(hash_);
    hash_ = nullptr;
}

void Sha256::Add(const void* data, size_t length)
{
    // bcrypt takes a non-const pointer but does not write through it.
    PUCHAR bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (length > 0) {
        const ULONG piece = length > 0x40000000u ? 0x40000000u : ULONG(length);
        CheckCryptoStatus(Crypto().HashData(hash_, bytes, piece, 0));
        bytes += piece;
        length -= piece;
    }
}

void Sha256::Finish(Digest& digest)
{
    CheckCryptoStatus(Crypto().FinishHash(hash_, digest.data(), ULONG(digest.size()), 0));
    // A finished hash object cannot be used again before Windows 8.
    End();
    Begin();
}

std::string Sha256::Finish()
{
    Digest digest;
    Finish(digest);
    return Hex(digest);
}

std::string Sha256::Hex(const Digest& digest)
{
    std::string text;
    for (unsigned char byte : digest) {
        text += "0123456789abcdef"[byte >> 4];
        text += "0123456789abcdef"[byte & 0xF];
    }
    return text;
}

Sha256::Digest Sha256::Of(const void* data, size_t length)
{
    Sha256 sha;
    sha.Add(data, length);
    Digest digest;
    sha.Finish(digest);
    return digest;
}
