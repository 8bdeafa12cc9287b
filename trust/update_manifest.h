#pragma once
// update.manifest: what a publisher lists of an update, and (update.sig)
// signs. Read from bytes only; checking it against the folder and the
// signature is signed_update.h's work.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include "system/p256_key.h"
#include "system/sha256.h"
#include "paths/item_rule.h"

// The largest manifest read.
const size_t maxManifestBytes = 16u << 20;

class ManifestFile {
public:
    uint64_t size;
    Sha256::Digest digest;
    std::wstring item;  // as listed, "\" between its parts

    ManifestFile();
    virtual ~ManifestFile();
};

class UpdateManifest {
public:
    std::wstring product;  // "<Brand>\<Name>"
    std::wstring version;
    uint32_t sequence;           // 1 or more
    uint64_t expires;            // YYYYMMDDhhmmss (UTC) as a decimal number; 0: none
    uint64_t settingsSize;
    Sha256::Digest settingsDigest;
    std::vector<ManifestFile> files;  // in the manifest's order, no two alike (Add)
    std::vector<P256PublicKey> trustKeys;
    std::vector<P256PublicKey> revokeKeys;

    UpdateManifest();
    virtual ~UpdateManifest();

    // Appends file unless a line for the same item (paths/item_rule.h) is
    // there; false then.
    bool Add(const ManifestFile& file);
    // The file line Add took for item (as update.ini lists it: "/" or "\"
    // between its parts), compared as the system compares names; null when
    // none. In logarithmic time: a manifest may list a great many items.
    const ManifestFile* Find(const std::wstring& item) const;

private:
    std::map<std::wstring, size_t, ItemKeyLess> index_;  // ItemKey -> files[]
};

// Reads a whole manifest. False, with manifest in no defined state and
// *badLine (when given) the 1-based line at fault, for anything but the
// exact form:
//   update-manifest 1
//   product <text>
//   version <text>
//   sequence <1..4294967295, no leading zero>
//   expires <YYYY-MM-DDTHH:MM:SSZ, a real time>       (optional)
//   settings <size> <sha256>
// then, in any order and number:
//   file <size> <sha256> <item>
//   trust-key <public key>
//   revoke-key <public key>
// Every line ends in LF (no CR, no empty line, none after the last LF);
// fields are separated by one space; texts are UTF-8 without control
// characters or byte-order mark, neither beginning nor ending in a space;
// sizes decimal without leading zeros; digests 64 lower-case hex digits;
// public keys 128 hex digits, X then Y. Two file lines for one item, or more
// than maxManifestBytes, are refused too.
bool ParseManifest(const char* data, size_t size, UpdateManifest& manifest, size_t* badLine = nullptr);

// The manifest's text, in the order and form ParseManifest reads (items
// and keys in the order held). Empty texts or items are written as they are
// and would not read back.
std::string ManifestText(const UpdateManifest& manifest);

// A time as the manifest writes it (YYYY-MM-DDTHH:MM:SSZ, one that exists)
// as YYYYMMDDhhmmss; false for anything else.
bool ParseManifestTime(const std::string& text, uint64_t& stamp);
// And back: YYYYMMDDhhmmss as the manifest writes it.
std::string ManifestTimeText(uint64_t stamp);

// A public key as 128 hex digits (either case). False for anything else.
bool ParsePublicKey(const std::string& hex, P256PublicKey& key);
// The same in lower case.
std::string PublicKeyText(const P256PublicKey& key);
// A key's short name in messages and records: the first 8 bytes of the
// SHA-256 of its 64 bytes (X then Y), as 16 lower-case hex digits.
std::string KeyId(const P256PublicKey& key);
