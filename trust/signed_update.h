#pragma once
// The checks of an update that comes with update.manifest, or whose product
// has a trust anchor (update_anchor.h). One object per run:
//
//   LoadManifest      before the settings are read: from then on every load
//                     of update.ini must be the bytes the manifest names
//   CheckBeforeDialog the signature, product, version, sequence, expiry and
//                     the item list (anchor); the item list (no anchor)
//   CheckSources      after the dialog, before anything is written: every
//                     item's size, then its digest; the sources stay open
//                     without write or delete sharing until the object goes
//   CheckFolder       after the dialog, before anything is written: a folder
//                     that received a signed update stays its product's
//   Record            right after the last replacement, before the completion
//                     box: the anchor's sequence and keys, and that the
//                     folder received the product's signed update (anchor
//                     only)
//
// With neither manifest nor anchor every step does nothing. Each refusal is
// kept (Refusal) and raised as OCErrorException with its sentence
// (base/messages.h) and code; once refused, every later step raises it again:
//   the manifest or signature missing (anchor), an item missing
//       kFileNotFoundText      ERROR_FILE_NOT_FOUND
//   a manifest or signature not in its form, a file line for no item
//       kFileInvalidText       ERROR_INVALID_DATA
//   no trusted key verifies the signature
//       kBadSignatureText      NTE_BAD_SIGNATURE
//   product or version not the settings'
//       kOtherProductText      ERROR_INSTALL_PACKAGE_INVALID
//   sequence below UpdateSequence
//       kOlderUpdateText       ERROR_PRODUCT_VERSION
//   expired
//       kExpiredUpdateText     CERT_E_EXPIRED
//   an item not in the manifest
//       kFileUnlistedText      ERROR_NOT_FOUND
//   an item's or the settings' size or digest not the manifest's
//       kFileAlteredText       ERROR_FILE_CORRUPT
//   an item that cannot be read
//       kReadFailedText        the system's error
//   a folder bound to another product, or its product without an anchor
//       kBoundFolderText       ERROR_INSTALL_PACKAGE_INVALID

#include <map>
#include <memory>
#include <vector>
#include "base/owned.h"
#include "base/string.h"
#include "base/progress.h"
#include "trust/update_anchor.h"
#include "trust/update_manifest.h"
#include "paths/item_record.h"
#include "settings/update_settings.h"

extern const char* const manifestFileName;   // "update.manifest"

// How many checked sources a run holds open at most: a signed update of any
// number of items must not run out of handles.
const size_t kHeldSources = 1024;
extern const char* const signatureFileName;  // "update.sig"

// Whether a manifest's expiry (YYYYMMDDhhmmss, 0: none) has passed, now
// (UTC): CheckBeforeDialog then refuses it.
bool ManifestExpired(uint64_t expires);

// Called as each item's check begins; the bytes read go to the progress
// function.
typedef void (*CheckBeginFunction)(const char* item, uint64_t size, void* user);

// The first refusal of a signed update, as its error box shows it.
class SignedRefusal {
public:
    bool refused = false;
    bool afterDialog = false;  // refused by the sources' check
    DWORD code = 0;
    std::wstring message;

    virtual ~SignedRefusal() {}
};

class SignedUpdate {
public:
    SignedUpdate();
    SignedUpdate(const SignedUpdate&) = delete;
    SignedUpdate& operator=(const SignedUpdate&) = delete;
    // Closes the sources and lets go of the settings' bytes.
    virtual ~SignedUpdate();

    // Reads update.manifest of the current folder, when there is one, and
    // holds every later load of update.ini to it (settings/settings_reader.h).
    void LoadManifest();
    // settings: Brand, Name and Version as the run uses them; records: the
    // run's list. Against anchor: the product's, as the registry holds it
    // (ReadUpdateAnchor), or the keys a publisher's tool was given.
    void CheckBeforeDialog(const UpdateSettings& settings, const std::vector<ItemRecord>& records,
                           const UpdateAnchor& anchor);
    // The bytes CheckSources reads: the listed sizes of the records taken.
    uint64_t CheckedBytes(const std::vector<ItemRecord>& records) const;
    // Every record the run takes (ItemRecord::Taken, so the listing that is
    // copied is the one checked), opened as paths/item_source.h opens it (a
    // link on its way refused): its size, then its digest.
    void CheckSources(const std::vector<ItemRecord>& records, CheckBeginFunction begin,
                      ProgressFunction progress, void* user);
    // The checked source the copy of record reads, held since its check
    // without write or delete sharing; null for one not held (beyond
    // kHeldSources, or no signed update).
    HANDLE HeldSource(const ItemRecord& record) const;
    // For a source not held: the digest its copy must have, hashed as it is
    // copied and compared before it replaces anything; null when none is
    // asked.
    const Sha256::Digest* CopyMustMatch(const ItemRecord& record) const;
    // folder: the install folder as confirmed. The product it is bound to
    // (the updater's key, list Products, by its final path) must be the
    // settings' own, and have an anchor.
    void CheckFolder(const UpdateSettings& settings, const std::wstring& folder);
    void Record(const UpdateSettings& settings, const std::wstring& folder);

    // The manifest LoadManifest read; null when the folder has none.
    const UpdateManifest* Manifest() const;
    // Whether update.sig verified under a key of the anchor.
    bool SignatureVerified() const;
    // The anchor CheckBeforeDialog held the manifest to, once it ran.
    const UpdateAnchor* Anchor() const;
    const SignedRefusal& Refusal() const { return refusal_; }

private:
    [[noreturn]] void Refuse(DWORD code, const char* sentence, const char* name = nullptr);
    // Raises the kept refusal again, if any.
    void RaiseIfRefused() const;

    bool hasManifest_;
    bool signatureVerified_;
    bool checked_;
    bool holdsSettings_;
    UpdateManifest manifest_;
    Sha256::Digest manifestDigest_;
    UpdateAnchor anchor_;
    SignedRefusal refusal_;
    std::map<const ItemRecord*, std::unique_ptr<Handle>> sources_;  // held, at most kHeldSources
};
