#include "updtool/archives/sha256.h"

#include "updtool/console/tool_error.h"

namespace {

void ReleaseProvider(HCRYPTPROV provider)
{
    CryptReleaseContext(provider, 0);
}

// The provider that knows SHA-256, acquired once for the process.
HCRYPTPROV Provider()
{
    static Owned<HCRYPTPROV, ReleaseProvider> provider;
    if (!provider.Valid()) {
        HCRYPTPROV acquired = 0;
        if (!CryptAcquireContextW(&acquired, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
            ThrowSystemError("cannot compute SHA-256 digests");
        provider.Reset(acquired);
    }
    return provider.Get();
}

}  // namespace

Sha256::Sha256()
{
    Begin();
}

Sha256::~Sha256() {}

void Sha256::Begin()
{
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(Provider(), CALG_SHA_256, 0, 0, &hash))
        ThrowSystemError("cannot compute SHA-256 digests");
    hash_.Reset(hash);
}

void Sha256::Add(const void* data, size_t length)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    while (length > 0) {
        const DWORD piece = length > 0x40000000u ? 0x40000000u : DWORD(length);
        if (!CryptHashData(hash_.Get(), bytes, piece, 0))
            ThrowSystemError("cannot compute a SHA-256 digest");
        bytes += piece;
        length -= piece;
    }
}

void Sha256::Finish(Digest& digest)
{
    DWORD size = DWORD(digest.size());
    if (!CryptGetHashParam(hash_.Get(), HP_HASHVAL, digest.data(), &size, 0) ||
        size != digest.size())
        ThrowSystemError("cannot compute a SHA-256 digest");
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
