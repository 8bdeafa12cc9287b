#include "updtool/commands/commands.h"

#include <windows.h>
#include "base/text_932.h"
#include "update/item_rule.h"
#include "update/signed_update.h"
#include "update/temporary_file.h"
#include "update/update_manifest.h"
#include "updtool/commands/key_file.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"
#include "updtool/console/tool_output.h"
#include "updtool/folders/update_folder.h"
#include "updtool/folders/working_folder.h"

const char* const signUsage =
    "usage: updtool sign FOLDER --key KEYFILE --sequence N [--expires DATE]\n"
    "                   [--trust-key KEY]... [--revoke-key KEY]...\n"
    "Writes update.manifest and update.sig into FOLDER, a finished update\n"
    "folder: the settings and every item as the updater reads them, each with\n"
    "its size and SHA-256, signed with KEYFILE (from keygen, or openssl's PEM).\n"
    "A product whose installed key holds the public key then installs only\n"
    "these bytes; any product refuses a damaged item.\n"
    "  --sequence N      1 to 4294967295; the updater refuses an update below the\n"
    "                    last one it applied, so number each release higher\n"
    "  --expires DATE    YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ (UTC): refused after it\n"
    "  --trust-key KEY   a public key (128 hex digits) the product trusts after\n"
    "                    this update\n"
    "  --revoke-key KEY  a public key it no longer trusts (never its last one)\n"
    "Exit codes: 0 written, 1 refused (an item missing or refused, nothing\n"
    "written), 2 bad usage or a file that cannot be read or written.\n";

namespace {

// DATE as the manifest's UTC time.
bool ParseExpiry(const std::wstring& text, uint64_t& stamp)
{
    std::string date = Utf8(text);
    if (date.size() == 10)
        date += "T00:00:00Z";
    return ParseManifestTime(date, stamp);
}

uint64_t NowStamp()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return ((((uint64_t(now.wYear) * 100 + now.wMonth) * 100 + now.wDay) * 100 + now.wHour) * 100 +
            now.wMinute) * 100 + now.wSecond;
}

std::vector<P256PublicKey> KeysOf(const CommandLine& line, const char* option)
{
    std::vector<P256PublicKey> keys;
    for (const std::wstring& text : line.Values(option)) {
        P256PublicKey key;
        if (!ParsePublicKey(Utf8(text), key))
            throw ToolError(std::string(option) + " " + Shown(text) + " is not a public key (128 hex digits)");
        keys.push_back(key);
    }
    return keys;
}

// item's size and digest, read as the updater will read it. False when the
// folder has no such file.
bool ListItem(const String& item, ManifestFile& file)
{
    const std::wstring path = WideFrom932(item);
    const Handle in(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.Valid()) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)
            return false;
        ThrowSystemError("cannot read the item " + Shown(path), path);
    }
    std::vector<unsigned char> chunk(1u << 20);
    Sha256 sha;
    file.size = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.Get(), chunk.data(), DWORD(chunk.size()), &got, nullptr))
            ThrowSystemError("cannot read the item " + Shown(path), path);
        if (got == 0)
            break;
        sha.Add(chunk.data(), got);
        file.size += got;
    }
    sha.Finish(file.digest);
    file.item = path;
    for (wchar_t& c : file.item)
        c = c == L'/' ? L'\\' : c;
    return true;
}

void WriteBeside(const std::wstring& folder, const char* name, const void* data, size_t size)
{
    const std::wstring target = folder + L"\\" + WideFrom932(name);
    TemporaryFile file;
    if (!file.Create(folder, L"updtool"))
        ThrowSystemError("cannot create a new file beside " + Shown(target), target);
    file.Write(data, uint32_t(size));
    if (!file.Flush() || !file.RenameOver(target, true))
        ThrowSystemError("cannot put " + Shown(target) + " in place", target);
}

}  // namespace

int RunSign(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("sign", args,
                    {{"--key", true}, {"--sequence", true}, {"--expires", true}, {"--trust-key", true},
                     {"--revoke-key", true}}))
        return ExitTrouble;
    if (line.positional.size() != 1)
        return UsageError("sign", "give one FOLDER");
    if (!line.Value("--key") || !line.Value("--sequence"))
        return UsageError("sign", "--key and --sequence are needed");
    UpdateManifest manifest;
    long long sequence = 0;
    if (!ParseNumber(*line.Value("--sequence"), 1, UINT32_MAX, sequence))
        return UsageError("sign", "--sequence must be a number from 1 to 4294967295");
    manifest.sequence = uint32_t(sequence);
    if (line.Value("--expires")) {
        if (!ParseExpiry(*line.Value("--expires"), manifest.expires))
            return UsageError("sign", "--expires must be YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ");
        if (manifest.expires <= NowStamp())
            return UsageError("sign", "--expires lies in the past: the updater would refuse the update");
    }
    manifest.trustKeys = KeysOf(line, "--trust-key");
    manifest.revokeKeys = KeysOf(line, "--revoke-key");

    const std::wstring keyPath = FullPath(PathArgument(*line.Value("--key")));
    std::vector<char> keyText;
    {
        const Handle key(CreateFileW(keyPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size = {};
        if (!key.Valid() || !GetFileSizeEx(key.Get(), &size))
            ThrowSystemError("cannot read the key " + Shown(keyPath), keyPath);
        if (size.QuadPart > 65536)
            throw ToolError(Shown(keyPath) + " is too large for a key file");
        keyText.resize(size_t(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(key.Get(), keyText.data(), DWORD(keyText.size()), &got, nullptr) ||
            got != keyText.size())
            ThrowSystemError("cannot read the key " + Shown(keyPath), keyPath);
    }
    P256PublicKey publicKey;
    P256Secret secret;
    std::string why;
    if (!ReadPrivateKeyPem(std::string(keyText.begin(), keyText.end()), publicKey, secret, why))
        throw ToolError(Shown(keyPath) + ": " + why);
    SecureZeroMemory(keyText.data(), keyText.size());

    const std::wstring folder = FullPath(PathArgument(line.positional[0]));
    WorkingFolder working;
    if (folder.empty() || !working.Enter(folder))
        throw ToolError("cannot enter the folder " + Shown(line.positional[0]));
    UpdateFolder settings;
    settings.Read();
    if (!settings.Found())
        return Fail("sign", "the folder has no update.ini to sign", ExitProblems);
    if (!settings.readFailure.empty())
        return Fail("sign", "update.ini cannot be read as the updater reads it: " + settings.readFailure,
                    ExitProblems);
    manifest.product = WideFrom932(settings.settings.brand) + L"\\" + WideFrom932(settings.settings.name);
    manifest.version = WideFrom932(settings.settings.version);
    manifest.settingsSize = settings.bytes.size();
    manifest.settingsDigest = Sha256::Of(settings.bytes.data(), settings.bytes.size());
    for (const String& item : settings.settings.files) {
        const std::wstring name = WideFrom932(item);
        if (JudgeItem(TextOf(item)) != ItemAccepted)
            return Fail("sign", "the updater refuses the item " + Shown(name), ExitProblems);
        if (manifest.Find(name))
            continue;  // listed again: one line covers both
        ManifestFile file;
        if (!ListItem(item, file))
            return Fail("sign", "the item " + Shown(name) + " is not in the folder", ExitProblems);
        manifest.Add(file);
    }

    const std::string text = ManifestText(manifest);
    UpdateManifest check;
    size_t badLine = 0;
    if (!ParseManifest(text.data(), text.size(), check, &badLine))
        return Fail("sign", "line " + std::to_string(badLine) +
                                " of the manifest cannot be written as the format wants it (a text "
                                "beginning or ending in a space, or a line break?)",
                    ExitProblems);
    const Sha256::Digest digest = Sha256::Of(text.data(), text.size());
    const P256Signature signature = SignP256(publicKey, secret, digest);
    SecureZeroMemory(secret.data(), secret.size());
    // A key file whose point is not its secret's would sign what no one
    // can check.
    if (!VerifyP256(publicKey, digest, signature))
        throw ToolError(Shown(keyPath) + ": its public point does not belong to its private key");

    WriteBeside(folder, manifestFileName, text.data(), text.size());
    WriteBeside(folder, signatureFileName, signature.data(), signature.size());
    WriteOut("signed " + std::to_string(manifest.files.size()) +
             (manifest.files.size() == 1 ? " item" : " items") + ", sequence " +
             std::to_string(manifest.sequence) + ", with the key " + PublicKeyText(publicKey) + "\n");
    return ExitOk;
}
