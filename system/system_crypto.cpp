#include "system/system_crypto.h"

#include <map>
#include <string>
#include "base/exceptions.h"
#include "base/messages.h"
#include "system/system_library.h"

namespace {

[[noreturn]] void RaiseCryptoFailure(DWORD code)
{
    SetLastError(code);
    throw OCErrorException(kCryptoFailedText);
}

template <class F>
void Bind(HMODULE module, const char* name, F& function)
{
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!function)
        RaiseCryptoFailure(ERROR_PROC_NOT_FOUND);
}

}  // namespace

SystemCrypto::SystemCrypto()
{
    // Loaded for the process's life: the pointers are kept.
    const HMODULE module = LoadSystemLibrary("bcrypt.dll");
    if (!module)
        RaiseCryptoFailure(GetLastError());
    Bind(module, "BCryptOpenAlgorithmProvider", OpenAlgorithmProvider);
    Bind(module, "BCryptGetProperty", GetProperty);
    Bind(module, "BCryptCreateHash", CreateHash);
    Bind(module, "BCryptHashData", HashData);
    Bind(module, "BCryptFinishHash", FinishHash);
    Bind(module, "BCryptDestroyHash", DestroyHash);
    Bind(module, "BCryptImportKeyPair", ImportKeyPair);
    Bind(module, "BCryptGenerateKeyPair", GenerateKeyPair);
    Bind(module, "BCryptFinalizeKeyPair", FinalizeKeyPair);
    Bind(module, "BCryptExportKey", ExportKey);
    Bind(module, "BCryptDestroyKey", DestroyKey);
    Bind(module, "BCryptSignHash", SignHash);
    Bind(module, "BCryptVerifySignature", VerifySignature);
}

SystemCrypto::~SystemCrypto() {}

const SystemCrypto& Crypto()
{
    static const SystemCrypto crypto;
    return crypto;
}

BCRYPT_ALG_HANDLE CryptoAlgorithm(const wchar_t* id)
{
    // Kept open for the process's life, as the library is: closing them at
    // exit would depend on the order in which statics go.
    static std::map<std::wstring, BCRYPT_ALG_HANDLE> opened;
    BCRYPT_ALG_HANDLE& algorithm = opened[id];
    if (!algorithm)
        CheckCryptoStatus(Crypto().OpenAlgorithmProvider(&algorithm, id, nullptr, 0));
    return algorithm;
}

void CheckCryptoStatus(NTSTATUS status)
{
    if (status < 0)
        RaiseCryptoFailure(DWORD(status));
}
