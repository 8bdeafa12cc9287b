#include "updtool/commands/commands.h"

#include <windows.h>
#include <sddl.h>
#include <vector>
#include "base/owned.h"
#include "system/native_file.h"
#include "trust/update_manifest.h"
#include "updtool/signing/key_file.h"
#include "base/shown_text.h"
#include "updtool/console/tool_output.h"

const char* const keygenUsage =
    "usage: updtool keygen KEYFILE [--brand B --name N]\n"
    "Writes a new ECDSA P-256 private key to KEYFILE (PEM, as openssl ecparam\n"
    "-name prime256v1 -genkey -noout writes it; never over an existing file,\n"
    "readable by its owner only) and prints its public key and a .reg text\n"
    "that gives the product's installed copy the key as its trust anchor\n"
    "(UpdateKeys under HKLM\\SOFTWARE\\<Brand>\\<Name>).\n"
    "  --brand B, --name N   the product's Brand and Name in update.ini\n"
    "Keep KEYFILE off the build machine's shared folders, and a copy offline:\n"
    "whoever holds it can sign updates the installed updater accepts.\n"
    "Exit codes: 0 written, 2 bad usage or a file that cannot be written.\n";

namespace {

void FreeLocal(PSECURITY_DESCRIPTOR descriptor)
{
    LocalFree(descriptor);
}

std::wstring UserSid()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        ThrowSystemError("cannot tell which user runs the tool");
    const Handle token(opened);
    // A TOKEN_USER, then the SID it points to.
    std::vector<unsigned char> user(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE);
    DWORD size = 0;
    wchar_t* text = nullptr;
    if (!GetTokenInformation(token.Get(), TokenUser, user.data(), DWORD(user.size()), &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text))
        ThrowSystemError("cannot tell which user runs the tool");
    const std::wstring sid = text;
    LocalFree(text);
    return sid;
}

// Creates path as a new file that only the user running the tool may open,
// and writes text into it; a file that is not complete is removed.
void WriteNewPrivateFile(const std::wstring& path, const std::string& text)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Protected (no inherited entries), full access for this user alone.
    const std::wstring sddl = L"D:P(A;;FA;;;" + UserSid() + L")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        ThrowSystemError("cannot describe a file only its owner reads");
    const Owned<PSECURITY_DESCRIPTOR, FreeLocal> owner(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    Handle file;
    if (!OpenFile(FileOpen::CreateProvisional, FilePlace(path), file, &attributes)) {
        if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
            throw ToolError(Shown(path) + " exists: a key is never written over a file");
        ThrowSystemError("cannot create " + Shown(path), path);
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), text.data(), DWORD(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(file.Get())) {
        const DWORD error = GetLastError();
        DeleteOpenFile(file);
        SetLastError(error);
        ThrowSystemError("cannot write " + Shown(path), path);
    }
}

}  // namespace

const OptionSpecs keygenOptions = {{"--brand", true}, {"--name", true}};

int RunKeygen(const CommandLine& line)
{
    if (line.positional.size() != 1)
        return UsageError("keygen", "give one KEYFILE");
    if (line.Has("--brand") != line.Has("--name"))
        return UsageError("keygen", "give both --brand and --name, or neither");
    const std::wstring path = PathArgument(line.positional[0]);

    P256PublicKey publicKey;
    P256Secret secret;
    GenerateP256Key(publicKey, secret);
    std::string pem = PrivateKeyPem(publicKey, secret);
    SecureZeroMemory(secret.data(), secret.size());
    WriteNewPrivateFile(path, pem);
    SecureZeroMemory(&pem[0], pem.size());

    const std::string key = PublicKeyText(publicKey);
    const std::string product = line.Has("--brand")
                                    ? Utf8(*line.Value("--brand")) + "\\" + Utf8(*line.Value("--name"))
                                    : "<Brand>\\<Name>";
    WriteOut("public key: " + key + "\n\n"
             "Windows Registry Editor Version 5.00\n\n"
             "; The updater is a 32-bit program: on 64-bit Windows it reads\n"
             "; HKLM\\SOFTWARE\\" + product + " under WOW6432Node.\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\" + product + "]\n"
             "\"UpdateKeys\"=\"" + key + "\"\n");
    return ExitOk;
}
