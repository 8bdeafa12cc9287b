#include "updtool/signing/folder_signing.h"

#include <windows.h>
#include "base/text_932.h"
#include "paths/item_record.h"
#include "system/native_file.h"
#include "trust/signed_update.h"
#include "paths/temporary_file.h"
#include "updtool/signing/key_file.h"
#include "base/exceptions.h"
#include "base/messages.h"
#include "base/shown_text.h"
#include "updtool/console/tool_output.h"
#include "updtool/folders/update_folder.h"
#include "updtool/folders/working_folder.h"

namespace {

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
    FileDigester digester;
    const FileRead read = digester.Digest(FilePlace(path), file.size, file.digest);
    if (read == FileRead::Missing)
        return false;
    if (read != FileRead::Done)
        ThrowSystemError("cannot read the item " + Shown(path), path);
    file.item = ItemKey(path);
    return true;
}

void WriteBeside(const std::wstring& folder, const char* name, const void* data, size_t size)
{
    const std::wstring target = folder + L"\\" + WideFrom932(name);
    TemporaryFile file;
    if (!file.Create(folder, kToolPrefix))
        ThrowSystemError("cannot create a new file beside " + Shown(target), target);
    file.Write(data, uint32_t(size));
    if (!file.Flush() || !file.RenameOver(target, true))
        ThrowSystemError("cannot put " + Shown(target) + " in place", target);
}

}  // namespace

SignRequest::~SignRequest()
{
    SecureZeroMemory(secret.data(), secret.size());
}

const char* const kSignOptions[] = {"--key", "--sequence", "--expires", "--trust-key",
                                    "--revoke-key"};

OptionSpecs WithSignOptions(OptionSpecs specs)
{
    for (const char* option : kSignOptions)
        specs.emplace_back(option, true);
    return specs;
}

bool SignWanted(const CommandLine& line)
{
    for (const char* option : kSignOptions)
        if (line.Has(option))
            return true;
    return false;
}

int ReadSignRequest(const char* command, const CommandLine& line, SignRequest& request)
{
    if (!line.Value("--key") || !line.Value("--sequence"))
        return UsageError(command, "--key and --sequence are needed");
    UpdateManifest& manifest = request.manifest;
    long long sequence = 0;
    if (!ParseNumber(*line.Value("--sequence"), 1, UINT32_MAX, sequence))
        return UsageError(command, "--sequence must be a number from 1 to 4294967295");
    manifest.sequence = uint32_t(sequence);
    if (line.Value("--expires")) {
        // A date alone means its first second, UTC.
        const std::string date = Utf8(*line.Value("--expires"));
        if (!ParseManifestTime(date.size() == 10 ? date + "T00:00:00Z" : date, manifest.expires))
            return UsageError(command, "--expires must be YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ");
        if (ManifestExpired(manifest.expires))
            return UsageError(command, "--expires lies in the past: the updater would refuse the update");
    }
    manifest.trustKeys = KeysOf(line, "--trust-key");
    manifest.revokeKeys = KeysOf(line, "--revoke-key");

    ReadKeyFile(FullPath(PathArgument(*line.Value("--key"))), request.publicKey, request.secret);
    return 0;
}

int SignFolder(const char* command, SignRequest& request, const std::wstring& given, bool quiet)
{
    const std::wstring folder = FullPath(given);
    UpdateManifest& manifest = request.manifest;
    WorkingFolder working;
    if (folder.empty() || !working.Enter(folder))
        throw ToolError("cannot enter the folder " + Shown(given));
    UpdateFolder presented;
    presented.Read();
    if (!presented.Found())
        return Fail(command, "the folder has no update.ini to sign", ExitProblems);
    // The settings and items as the updater reads them, an old manifest of
    // the folder left aside.
    UpdateSettings settings;
    settings.SetDefaults();
    try {
        ReadNamingSettings(settings);
        ReadFileList(settings);
    } catch (const OCErrorException& failure) {
        return Fail(command, "update.ini cannot be read as the updater reads it: " + Utf8(failure.wideMessage),
                    ExitProblems);
    } catch (const DWORD&) {
        return Fail(command, "update.ini cannot be read as the updater reads it: " + Utf8From932(kOutOfMemoryText),
                    ExitProblems);
    }
    manifest.product = WideFrom932(settings.brand) + L"\\" + WideFrom932(settings.name);
    manifest.version = WideFrom932(settings.version);
    manifest.settingsSize = presented.bytes.size();
    manifest.settingsDigest = Sha256::Of(presented.bytes.data(), presented.bytes.size());
    for (const ItemRecord& record : MakeItemRecords(settings.files)) {
        if (record.refusal != ItemAccepted)
            return Fail(command, "the updater refuses the item " + Shown(record.name), ExitProblems);
        // One line covers an item listed again: the updater checks and copies
        // its last listing.
        if (!record.Taken())
            continue;
        ManifestFile file;
        if (!ListItem(record.item, file))
            return Fail(command, "the item " + Shown(record.name) + " is not in the folder", ExitProblems);
        manifest.Add(file);
    }

    const std::string text = ManifestText(manifest);
    UpdateManifest check;
    size_t badLine = 0;
    if (!ParseManifest(text.data(), text.size(), check, &badLine))
        return Fail(command, "line " + std::to_string(badLine) +
                                 " of the manifest cannot be written as the format wants it (a text "
                                 "beginning or ending in a space, or a line break?)",
                    ExitProblems);
    const P256Signature signature =
        SignP256(request.publicKey, request.secret, Sha256::Of(text.data(), text.size()));
    WriteBeside(folder, manifestFileName, text.data(), text.size());
    WriteBeside(folder, signatureFileName, signature.data(), signature.size());
    if (!quiet)
        WriteOut("signed " + Plural(manifest.files.size(), "item", "items") + ", sequence " +
                 std::to_string(manifest.sequence) + ", with the key " +
                 PublicKeyText(request.publicKey) + "\n");
    return ExitOk;
}
