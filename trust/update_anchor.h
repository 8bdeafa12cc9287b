#pragma once
// A product's trust anchor, where only an administrator writes: the key
// HKLM\SOFTWARE\<Brand>\<Name> the installer made (the updater's own, 32-bit
// view), values
//   UpdateKeys      REG_SZ: public keys (128 hex digits), separated by ";"
//   UpdateSequence  REG_DWORD: the sequence of the last signed update applied
// The product has an anchor when UpdateKeys is present, whatever it holds. A
// value that is there but not in its form (another type, UpdateKeys too
// long, empty or with an entry that is no key) is never taken as missing:
// the run is refused (signed_update.h), as an attacker who can only spoil a
// value must not turn the protection off with it.

#include <cstdint>
#include <string>
#include <vector>
#include "system/p256_key.h"
#include "settings/update_settings.h"

class UpdateAnchor {
public:
    bool present;                     // UpdateKeys exists
    std::vector<P256PublicKey> keys;  // its well-formed entries
    uint32_t sequence;                // 0 when UpdateSequence is missing
    std::wstring fault;               // the name of a value not in its form; "" when none

    UpdateAnchor();
    virtual ~UpdateAnchor();
};

// The anchor of settings' product. Shows and raises nothing: a key that
// cannot be opened is no anchor, as the install folder's lookup treats it;
// a value not in its form is told in anchor.fault.
void ReadUpdateAnchor(const UpdateSettings& settings, UpdateAnchor& anchor);

// Stores sequence and the key list after trust and revoke into the anchor.
// The list never becomes empty: when every key would go, it stays as it was.
// Raises OCErrorException (kAnchorWriteFailedText) when it cannot write.
void RecordUpdateAnchor(const UpdateSettings& settings, uint32_t sequence,
                        const std::vector<P256PublicKey>& keys);

// The keys of a ";"-separated list, spaces around each ignored, each once.
// False when an entry that is not empty is no key, or there is no key.
bool ParseKeyList(const std::wstring& text, std::vector<P256PublicKey>& keys);
// keys, plus trust, minus revoke (revocation wins), each once; keys itself
// when nothing would be left.
std::vector<P256PublicKey> KeysAfter(const std::vector<P256PublicKey>& keys,
                                     const std::vector<P256PublicKey>& trust,
                                     const std::vector<P256PublicKey>& revoke);
// The list as stored: lower-case keys joined by ";".
std::wstring KeyListText(const std::vector<P256PublicKey>& keys);
