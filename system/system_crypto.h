#pragma once
// The system's cryptography (bcrypt.dll), loaded from the system folder on
// first use and kept for the process's life. Only this layer's digest and
// key classes call it.

#include <windows.h>
#include <bcrypt.h>

class SystemCrypto {
public:
    decltype(&BCryptOpenAlgorithmProvider) OpenAlgorithmProvider;
    decltype(&BCryptGetProperty) GetProperty;
    decltype(&BCryptCreateHash) CreateHash;
    decltype(&BCryptHashData) HashData;
    decltype(&BCryptFinishHash) FinishHash;
    decltype(&BCryptDestroyHash) DestroyHash;
    decltype(&BCryptImportKeyPair) ImportKeyPair;
    decltype(&BCryptGenerateKeyPair) GenerateKeyPair;
    decltype(&BCryptFinalizeKeyPair) FinalizeKeyPair;
    decltype(&BCryptExportKey) ExportKey;
    decltype(&BCryptDestroyKey) DestroyKey;
    decltype(&BCryptSignHash) SignHash;
    decltype(&BCryptVerifySignature) VerifySignature;

    SystemCrypto();
    virtual ~SystemCrypto();
};

// The functions, bound once. Raises OCErrorException (kCryptoFailedText)
// when bcrypt.dll or one of them is missing.
const SystemCrypto& Crypto();

// The algorithm provider of id (BCRYPT_SHA256_ALGORITHM ...), opened once
// and kept.
// Raises as Crypto() does, with the status as the code, when it cannot be
// opened.
BCRYPT_ALG_HANDLE CryptoAlgorithm(const wchar_t* id);

// Raises OCErrorException (kCryptoFailedText) with status as its code when
// status is a failure.
void CheckCryptoStatus(NTSTATUS status);
