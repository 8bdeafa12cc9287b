#include "trust/signed_update.h"

#include <cstring>
#include <set>
#include "base/exceptions.h"
#include "base/messages.h"
#include "system/run_log.h"
#include "base/text_932.h"
#include "settings/settings_reader.h"
#include "trust/update_signature.h"

const char* const manifestFileName = "update.manifest";
const char* const signatureFileName = "update.sig";

namespace {

// The signature file's largest form is 72 bytes; anything far beyond is
// not read.
const size_t maxSignatureBytes = 1024;

// The manifest whose settings line every load of the settings must match.
const UpdateManifest* checkedManifest = nullptr;

[[noreturn]] void Refuse(DWORD code, const char* sentence, const char* name = nullptr)
{
    String message;
    if (name)
        message.Format(sentence, name);
    else
        message.Assign(sentence);
    LogEvent("signed update: refused: " + LogText932(message.text));
    SetLastError(code);
    throw OCErrorException(message.text);
}

// The whole of a small file of the current folder. False when it is not
// there; raises kReadFailedText when it is but cannot be read, and
// kFileInvalidText when it is larger than limit.
bool ReadWholeFile(const char* name, size_t limit, std::vector<char>& bytes)
{
    const Handle file(CreateFileW(WideFrom932(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return false;
        Refuse(error, kReadFailedText, name);
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        Refuse(GetLastError(), kReadFailedText, name);
    if (uint64_t(size.QuadPart) > limit)
        Refuse(ERROR_INVALID_DATA, kFileInvalidText, name);
    bytes.resize(size_t(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, DWORD(bytes.size() - done), &got, nullptr))
            Refuse(GetLastError(), kReadFailedText, name);
        if (got == 0)
            Refuse(ERROR_HANDLE_EOF, kReadFailedText, name);
        done += got;
    }
    return true;
}

void CheckSettingsBytes(const char* data, uint32_t got, uint32_t size)
{
    if (!checkedManifest)
        return;
    if (size != checkedManifest->settingsSize || got != size ||
        Sha256::Of(data, got) != checkedManifest->settingsDigest)
        Refuse(ERROR_FILE_CORRUPT, kFileAlteredText, settingsFileName);
}

bool VerifiesUnder(const std::vector<P256PublicKey>& keys, const Sha256::Digest& digest,
                   const std::vector<P256Signature>& signatures)
{
    for (const P256PublicKey& key : keys) {
        for (const P256Signature& signature : signatures) {
            if (VerifyP256(key, digest, signature))
                return true;
        }
    }
    return false;
}

// For each item, whether an earlier one names the same file.
std::vector<bool> ListedBefore(const std::vector<String>& items)
{
    std::set<std::wstring> seen;
    std::vector<bool> before(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        before[i] = !seen.insert(FoldedItemName(WideFrom932(items[i]))).second;
    return before;
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

SignedUpdate::SignedUpdate() : hasManifest_(false), signatureVerified_(false), manifestDigest_() {}

SignedUpdate::~SignedUpdate()
{
    if (checkedManifest == &manifest_) {
        checkedManifest = nullptr;
        settingsBytesCheck = nullptr;
    }
}

void SignedUpdate::LoadManifest()
{
    std::vector<char> bytes;
    if (!ReadWholeFile(manifestFileName, maxManifestBytes, bytes))
        return;
    if (!ParseManifest(bytes.data(), bytes.size(), manifest_))
        Refuse(ERROR_INVALID_DATA, kFileInvalidText, manifestFileName);
    manifestDigest_ = Sha256::Of(bytes.data(), bytes.size());
    hasManifest_ = true;
    LogEvent("signed update: update.manifest read: product \"" + LogText(manifest_.product) +
             "\", version \"" + LogText(manifest_.version) + "\", sequence " +
             std::to_string(manifest_.sequence) + ", " + std::to_string(manifest_.files.size()) +
             " items; every load of update.ini is held to it");
    checkedManifest = &manifest_;
    settingsBytesCheck = CheckSettingsBytes;
}

void SignedUpdate::CheckBeforeDialog(const UpdateSettings& settings)
{
    UpdateAnchor anchor;
    ReadUpdateAnchor(settings, anchor);
    CheckBeforeDialog(settings, anchor);
}

void SignedUpdate::CheckBeforeDialog(const UpdateSettings& settings, const UpdateAnchor& anchor)
{
    anchor_ = anchor;
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
        if (!ReadWholeFile(signatureFileName, maxSignatureBytes, bytes))
            Refuse(ERROR_FILE_NOT_FOUND, kFileNotFoundText, signatureFileName);
        const std::vector<P256Signature> signatures =
            ReadSignature(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        if (signatures.empty())
            Refuse(ERROR_INVALID_DATA, kFileInvalidText, signatureFileName);
        if (!VerifiesUnder(anchor_.keys, manifestDigest_, signatures))
            Refuse(DWORD(NTE_BAD_SIGNATURE), kBadSignatureText);
        signatureVerified_ = true;
        const std::wstring product =
            WideFrom932(settings.brand) + L"\\" + WideFrom932(settings.name);
        if (manifest_.product != product || manifest_.version != WideFrom932(settings.version))
            Refuse(ERROR_INSTALL_PACKAGE_INVALID, kOtherProductText);
        if (manifest_.sequence < anchor_.sequence)
            Refuse(ERROR_PRODUCT_VERSION, kOlderUpdateText);
        if (ManifestExpired(manifest_.expires))
            Refuse(DWORD(CERT_E_EXPIRED), kExpiredUpdateText);
        LogEvent("signed update: update.sig verified under a trusted key");
    }
    std::set<const ManifestFile*> listed;
    for (const String& item : settings.files) {
        const ManifestFile* file = manifest_.Find(WideFrom932(item));
        if (!file)
            Refuse(ERROR_NOT_FOUND, kFileUnlistedText, TextOf(item));
        listed.insert(file);
    }
    if (listed.size() != manifest_.files.size())
        Refuse(ERROR_INVALID_DATA, kFileInvalidText, manifestFileName);
}

uint64_t SignedUpdate::CheckedBytes(const std::vector<String>& items) const
{
    uint64_t total = 0;
    if (!hasManifest_)
        return total;
    const std::vector<bool> before = ListedBefore(items);
    for (size_t i = 0; i < items.size(); ++i) {
        const ManifestFile* file = manifest_.Find(WideFrom932(items[i]));
        if (file && !before[i])
            total += file->size;
    }
    return total;
}

void SignedUpdate::CheckSources(const std::vector<String>& items, CheckBeginFunction begin,
                                ProgressFunction progress, void* user)
{
    if (!hasManifest_)
        return;
    // Sizes first, of every item, so that no byte is read beyond a size the
    // manifest gives; then the digests, from the handles that stay open.
    std::vector<std::pair<const String*, const ManifestFile*>> checks;
    const size_t first = sources_.size();
    const std::vector<bool> before = ListedBefore(items);
    for (size_t i = 0; i < items.size(); ++i) {
        const String& item = items[i];
        if (before[i])
            continue;
        const ManifestFile* file = manifest_.Find(WideFrom932(item));
        if (!file)
            Refuse(ERROR_NOT_FOUND, kFileUnlistedText, TextOf(item));
        // No write or delete sharing: what is checked is what is copied.
        std::unique_ptr<Handle> source(new Handle(CreateFileW(WideFrom932(item).c_str(), GENERIC_READ,
                                                              FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
        if (!source->Valid()) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                Refuse(error, kFileNotFoundText, TextOf(item));
            Refuse(error, kReadFailedText, TextOf(item));
        }
        LARGE_INTEGER size;
        if (!GetFileSizeEx(source->Get(), &size))
            Refuse(GetLastError(), kReadFailedText, TextOf(item));
        if (uint64_t(size.QuadPart) != file->size)
            Refuse(ERROR_FILE_CORRUPT, kFileAlteredText, TextOf(item));
        sources_.push_back(std::move(source));
        checks.emplace_back(&item, file);
    }

    std::vector<unsigned char> chunk(1u << 20);
    Sha256 sha;
    for (size_t i = 0; i < checks.size(); ++i) {
        const char* name = TextOf(*checks[i].first);
        const ManifestFile& file = *checks[i].second;
        if (begin)
            begin(name, file.size, user);
        for (uint64_t left = file.size; left > 0;) {
            const DWORD want = left < chunk.size() ? DWORD(left) : DWORD(chunk.size());
            DWORD got = 0;
            if (!ReadFile(sources_[first + i]->Get(), chunk.data(), want, &got, nullptr))
                Refuse(GetLastError(), kReadFailedText, name);
            if (got == 0)
                Refuse(ERROR_FILE_CORRUPT, kFileAlteredText, name);
            sha.Add(chunk.data(), got);
            left -= got;
            if (progress)
                progress(got, user);
        }
        Sha256::Digest digest;
        sha.Finish(digest);
        if (digest != file.digest)
            Refuse(ERROR_FILE_CORRUPT, kFileAlteredText, name);
    }
    LogEvent("signed update: " + std::to_string(checks.size()) +
             " sources match their sizes and digests, held against writers until the run ends");
}

const UpdateManifest* SignedUpdate::Manifest() const
{
    return hasManifest_ ? &manifest_ : nullptr;
}

bool SignedUpdate::SignatureVerified() const
{
    return signatureVerified_;
}

void SignedUpdate::Record(const UpdateSettings& settings)
{
    if (!hasManifest_ || !anchor_.present)
        return;
    const std::vector<P256PublicKey> keys =
        KeysAfter(anchor_.keys, manifest_.trustKeys, manifest_.revokeKeys);
    RecordUpdateAnchor(settings, manifest_.sequence, keys);
    LogEvent("signed update: UpdateSequence " + std::to_string(manifest_.sequence) + " and " +
             std::to_string(keys.size()) + (keys.size() == 1 ? " key" : " keys") +
             " stored in the anchor");
}
