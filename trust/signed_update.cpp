#include "trust/signed_update.h"

#include <algorithm>
#include <cstring>
#include <set>
#include "base/exceptions.h"
#include "base/messages.h"
#include "base/text_932.h"
#include "settings/settings_reader.h"
#include "system/native_file.h"
#include "system/updater_key.h"
#include "system/run_log.h"
#include "trust/update_signature.h"
#include "paths/item_source.h"

const char* const manifestFileName = "update.manifest";
const char* const signatureFileName = "update.sig";

namespace {

// The signature file's largest form is 72 bytes; anything far beyond is
// not read.
const size_t kMaxSignatureBytes = 1024;

// The key that verifies one of signatures over digest; null when none.
const P256PublicKey* VerifyingKey(const std::vector<P256PublicKey>& keys, const Sha256::Digest& digest,
                                  const std::vector<P256Signature>& signatures)
{
    for (const P256PublicKey& key : keys) {
        for (const P256Signature& signature : signatures) {
            if (VerifyP256(key, digest, signature))
                return &key;
        }
    }
    return nullptr;
}

std::string KeyIds(const std::vector<P256PublicKey>& keys)
{
    std::string ids;
    for (const P256PublicKey& key : keys)
        ids += (ids.empty() ? "" : ", ") + KeyId(key);
    return ids.empty() ? "none" : ids;
}

// A time YYYYMMDDhhmmss as the record shows it.
std::string TimeText(uint64_t stamp)
{
    return ManifestTimeText(stamp);
}

}  // namespace

bool ManifestExpired(uint64_t expires)
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return expires != 0 &&
           expires <= ((((uint64_t(now.wYear) * 100 + now.wMonth) * 100 + now.wDay) * 100 +
                        now.wHour) * 100 + now.wMinute) * 100 + now.wSecond;
}

SignedUpdate::SignedUpdate()
    : hasManifest_(false), signatureVerified_(false), checked_(false), holdsSettings_(false), manifestDigest_()
{
}

SignedUpdate::~SignedUpdate()
{
    if (holdsSettings_)
        heldSettings = HeldSettings();
}

void SignedUpdate::Refuse(DWORD code, const char* sentence, const char* name)
{
    String message;
    if (name)
        message.Format(sentence, name);
    else
        message.Assign(sentence);
    LogEvent("signed update: refused: " + LogText932(message.text));
    refusal_.refused = true;
    refusal_.code = code;
    refusal_.message = WideFrom932(message);
    SetLastError(code);
    throw OCErrorException(message.text);
}

void SignedUpdate::RaiseIfRefused() const
{
    if (!refusal_.refused)
        return;
    SetLastError(refusal_.code);
    throw OCErrorException("%s", refusal_.message);
}

void SignedUpdate::LoadManifest()
{
    std::vector<char> bytes;
    switch (ReadWholeFile(FilePlace(WideFrom932(manifestFileName)), maxManifestBytes, bytes)) {
    case FileRead::Missing: return;
    case FileRead::Unreadable: Refuse(GetLastError(), kReadFailedText, manifestFileName);
    case FileRead::TooLarge: Refuse(ERROR_INVALID_DATA, kFileInvalidText, manifestFileName);
    case FileRead::Done: break;
    }
    if (!ParseManifest(bytes.data(), bytes.size(), manifest_))
        Refuse(ERROR_INVALID_DATA, kFileInvalidText, manifestFileName);
    manifestDigest_ = Sha256::Of(bytes.data(), bytes.size());
    hasManifest_ = true;
    LogEvent("signed update: update.manifest read: product \"" + LogText(manifest_.product) +
             "\", version \"" + LogText(manifest_.version) + "\", sequence " +
             std::to_string(manifest_.sequence) + ", " + std::to_string(manifest_.files.size()) +
             " items; every load of update.ini is held to it");
    heldSettings.held = holdsSettings_ = true;
    heldSettings.size = manifest_.settingsSize;
    heldSettings.digest = manifest_.settingsDigest;
}

void SignedUpdate::CheckBeforeDialog(const UpdateSettings& settings,
                                     const std::vector<ItemRecord>& records, const UpdateAnchor& anchor)
{
    RaiseIfRefused();
    anchor_ = anchor;
    checked_ = true;
    if (!anchor_.fault.empty()) {
        const std::string value = LogText(anchor_.fault);
        Refuse(ERROR_INVALID_DATA, kAnchorInvalidText, value.c_str());
    }
    if (!anchor_.present && !hasManifest_)
        return;
    LogEvent(anchor_.present ? "signed update: the product's anchor holds " +
                                   std::to_string(anchor_.keys.size()) +
                                   (anchor_.keys.size() == 1 ? " key" : " keys") + ", last sequence " +
                                   std::to_string(anchor_.sequence)
                             : std::string("signed update: no anchor: sizes and digests only"));
    if (!hasManifest_)
        Refuse(ERROR_FILE_NOT_FOUND, kFileNotFoundText, manifestFileName);
    if (anchor_.present) {
        std::vector<char> bytes;
        switch (ReadWholeFile(FilePlace(WideFrom932(signatureFileName)), kMaxSignatureBytes, bytes)) {
        case FileRead::Missing: Refuse(ERROR_FILE_NOT_FOUND, kFileNotFoundText, signatureFileName);
        case FileRead::Unreadable: Refuse(GetLastError(), kReadFailedText, signatureFileName);
        case FileRead::TooLarge: Refuse(ERROR_INVALID_DATA, kFileInvalidText, signatureFileName);
        case FileRead::Done: break;
        }
        const std::vector<P256Signature> signatures =
            ReadSignature(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        if (signatures.empty())
            Refuse(ERROR_INVALID_DATA, kFileInvalidText, signatureFileName);
        const P256PublicKey* verifying = VerifyingKey(anchor_.keys, manifestDigest_, signatures);
        if (!verifying)
            Refuse(DWORD(NTE_BAD_SIGNATURE), kBadSignatureText);
        signatureVerified_ = true;
        const std::wstring product =
            WideFrom932(settings.brand) + L"\\" + WideFrom932(settings.name);
        if (manifest_.product != product || manifest_.version != WideFrom932(settings.version))
            Refuse(ERROR_INSTALL_PACKAGE_INVALID, kOtherProductText);
        if (manifest_.sequence < anchor_.sequence)
            Refuse(ERROR_PRODUCT_VERSION, kOlderUpdateText);
        if (ManifestExpired(manifest_.expires)) {
            SYSTEMTIME now;
            GetSystemTime(&now);
            char clock[32];
            snprintf(clock, sizeof clock, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay,
                     now.wHour, now.wMinute, now.wSecond);
            LogEvent("signed update: expired " + TimeText(manifest_.expires) + "; this machine's clock says " + clock);
            Refuse(DWORD(CERT_E_EXPIRED), kExpiredUpdateText);
        }
        LogEvent("signed update: update.sig verified under a trusted key, key " + KeyId(*verifying));
    }
    std::set<const ManifestFile*> listed;
    for (const ItemRecord& record : records) {
        const ManifestFile* file = manifest_.Find(record.name);
        if (!file)
            Refuse(ERROR_NOT_FOUND, kFileUnlistedText, record.Text());
        listed.insert(file);
    }
    if (listed.size() != manifest_.files.size())
        Refuse(ERROR_INVALID_DATA, kFileInvalidText, manifestFileName);
}

uint64_t SignedUpdate::CheckedBytes(const std::vector<ItemRecord>& records) const
{
    uint64_t total = 0;
    if (!hasManifest_)
        return total;
    for (const ItemRecord& record : records) {
        const ManifestFile* file = record.Taken() ? manifest_.Find(record.name) : nullptr;
        if (file)
            total += file->size;
    }
    return total;
}

void SignedUpdate::CheckSources(const std::vector<ItemRecord>& records, CheckBeginFunction begin,
                                ProgressFunction progress, void* user)
{
    RaiseIfRefused();
    if (!hasManifest_)
        return;
    refusal_.afterDialog = true;
    // Sizes first, of every item, so that no byte is read beyond a size the
    // manifest gives; then the digests. The first kHeldSources stay open
    // without write or delete sharing until the run ends, and are copied
    // from; the copy of any other hashes what it copies (CopyMustMatch).
    const SourceFolder folder;
    std::vector<std::pair<const ItemRecord*, const ManifestFile*>> checks;
    const auto open = [this, &folder](const ItemRecord& record, Handle& source) {
        if (!folder.Open(record, source)) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                Refuse(error, kFileNotFoundText, record.Text());
            Refuse(error, kReadFailedText, record.Text());
        }
    };
    for (const ItemRecord& record : records) {
        if (!record.Taken())
            continue;
        const ManifestFile* file = manifest_.Find(record.name);
        if (!file)
            Refuse(ERROR_NOT_FOUND, kFileUnlistedText, record.Text());
        std::unique_ptr<Handle> source(new Handle);
        try {
            open(record, *source);
        } catch (const OCErrorException& linked) {
            refusal_.refused = true;
            refusal_.code = linked.code;
            refusal_.message = linked.wideMessage;
            throw;
        }
        LARGE_INTEGER size;
        if (!GetFileSizeEx(source->Get(), &size))
            Refuse(GetLastError(), kReadFailedText, record.Text());
        if (uint64_t(size.QuadPart) != file->size)
            Refuse(ERROR_FILE_CORRUPT, kFileAlteredText, record.Text());
        if (sources_.size() < kHeldSources)
            sources_[&record] = std::move(source);
        checks.emplace_back(&record, file);
    }

    FileDigester digester;
    for (const auto& check : checks) {
        const char* name = check.first->Text();
        const ManifestFile& file = *check.second;
        if (begin)
            begin(name, file.size, user);
        const auto held = sources_.find(check.first);
        Handle again;
        if (held == sources_.end())
            open(*check.first, again);
        uint64_t read = 0;
        Sha256::Digest digest;
        if (digester.DigestOpen(held != sources_.end() ? held->second->Get() : again.Get(), file.size, read, digest,
                                progress, user) != FileRead::Done)
            Refuse(GetLastError(), kReadFailedText, name);
        if (read != file.size || digest != file.digest)
            Refuse(ERROR_FILE_CORRUPT, kFileAlteredText, name);
    }
    LogEvent("signed update: " + std::to_string(checks.size()) + " sources match their sizes and digests, " +
             std::to_string(sources_.size()) + " held against writers until the run ends");
}

HANDLE SignedUpdate::HeldSource(const ItemRecord& record) const
{
    const auto held = sources_.find(&record);
    return held == sources_.end() ? nullptr : held->second->Get();
}

const Sha256::Digest* SignedUpdate::CopyMustMatch(const ItemRecord& record) const
{
    if (!hasManifest_ || HeldSource(record))
        return nullptr;
    const ManifestFile* file = manifest_.Find(record.name);
    return file ? &file->digest : nullptr;
}

const UpdateManifest* SignedUpdate::Manifest() const
{
    return hasManifest_ ? &manifest_ : nullptr;
}

bool SignedUpdate::SignatureVerified() const
{
    return signatureVerified_;
}

const UpdateAnchor* SignedUpdate::Anchor() const
{
    return checked_ ? &anchor_ : nullptr;
}

namespace {

const size_t kMaxProductName = 1024;

std::wstring ProductOf(const UpdateSettings& settings)
{
    return WideFrom932(settings.brand) + L"\\" + WideFrom932(settings.name);
}

}  // namespace

void SignedUpdate::CheckFolder(const UpdateSettings& settings, const std::wstring& folder)
{
    RaiseIfRefused();
    UpdaterEntry entry;
    std::wstring bound;
    const std::wstring final = FinalPathOf(FilePlace(folder));
    if (final.empty() || !entry.Open(kProductsList, final) || !entry.ReadText(L"Product", bound, kMaxProductName))
        return;
    const std::wstring product = ProductOf(settings);
    const bool same = CompareStringOrdinal(bound.c_str(), int(bound.size()), product.c_str(), int(product.size()),
                                           TRUE) == CSTR_EQUAL;
    LogEvent("signed update: " + LogText(folder) + " received a signed update of \"" + LogText(bound) + "\"" +
             (same ? (anchor_.present ? ", as this one is" : ", whose anchor is gone") : ", not of this one"));
    if (!same || !anchor_.present) {
        refusal_.refused = true;
        refusal_.code = ERROR_INSTALL_PACKAGE_INVALID;
        refusal_.message = WideSentence(kBoundFolderText, folder);
        SetLastError(ERROR_INSTALL_PACKAGE_INVALID);
        throw OCErrorException(kBoundFolderText, folder);
    }
}

void SignedUpdate::Record(const UpdateSettings& settings, const std::wstring& folder)
{
    if (!hasManifest_ || !anchor_.present)
        return;
    UpdaterEntry bound;
    const std::wstring final = FinalPathOf(FilePlace(folder));
    if (final.empty() || !bound.Create(kProductsList, final) || !bound.WriteText(L"Product", ProductOf(settings)) ||
        !bound.Flush()) {
        SetLastError(GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED);
        throw OCErrorException(kAnchorWriteFailedText);
    }
    const std::vector<P256PublicKey> keys =
        KeysAfter(anchor_.keys, manifest_.trustKeys, manifest_.revokeKeys);
    RecordUpdateAnchor(settings, manifest_.sequence, keys);
    std::vector<P256PublicKey> added, revoked;
    for (const P256PublicKey& key : keys)
        if (std::find(anchor_.keys.begin(), anchor_.keys.end(), key) == anchor_.keys.end())
            added.push_back(key);
    for (const P256PublicKey& key : anchor_.keys)
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            revoked.push_back(key);
    LogEvent("signed update: UpdateSequence " + std::to_string(manifest_.sequence) + " and " +
             std::to_string(keys.size()) + (keys.size() == 1 ? " key" : " keys") +
             " stored in the anchor; keys added: " + KeyIds(added) + "; keys revoked: " + KeyIds(revoked));
}
