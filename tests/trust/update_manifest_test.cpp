// The manifest, signature and key-list readers: each form they must refuse,
// one line a case, and what they make of the forms they take.

#include <gtest/gtest.h>
#include <string>
#include "base/shown_text.h"
#include "trust/update_anchor.h"
#include "trust/update_manifest.h"
#include "trust/update_signature.h"
#include "tests/support/signature_der.h"

namespace {

const std::string kDigest = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string kKey =
    "60fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6"
    "7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299";
const std::string kHead = "update-manifest 1\nproduct Quillmark\\Starfall\nversion 1.2.0\nsequence 3\n";
const std::string kSettings = "settings 12 " + kDigest + "\n";

P256PublicKey Key(unsigned char first)
{
    P256PublicKey key{};
    key[0] = first;
    return key;
}

}  // namespace

TEST(UpdateManifest, ReadsEveryField)
{
    const std::string text = kHead + "expires 2028-02-29T23:59:59Z\n" + kSettings + "file 4096 " + kDigest +
                             " data\\\xE8\xA1\xA8\xE7\xA4\xBA.pak\ntrust-key " + kKey + "\nfile 0 " + kDigest +
                             " a b.txt\nrevoke-key " + kKey + "\n";
    UpdateManifest m;
    ASSERT_TRUE(ParseManifest(text.data(), text.size(), m));
    EXPECT_EQ(L"Quillmark\\Starfall", m.product);
    EXPECT_EQ(L"1.2.0", m.version);
    EXPECT_EQ(3u, m.sequence);
    EXPECT_EQ(20280229235959u, m.expires);
    EXPECT_EQ(12u, m.settingsSize);
    EXPECT_EQ(0xe3, m.settingsDigest[0]);
    EXPECT_EQ(0x55, m.settingsDigest[31]);
    ASSERT_EQ(2u, m.files.size());
    EXPECT_EQ(L"data\\\u8868\u793a.pak", m.files[0].item);
    EXPECT_EQ(4096u, m.files[0].size);
    EXPECT_EQ(L"a b.txt", m.files[1].item);
    ASSERT_EQ(1u, m.trustKeys.size());
    ASSERT_EQ(1u, m.revokeKeys.size());
    EXPECT_EQ(0x60, m.trustKeys[0][0]);
    EXPECT_EQ(0x99, m.trustKeys[0][63]);
    EXPECT_EQ(&m.files[0], m.Find(L"DATA/\u8868\u793a.PAK"));
    EXPECT_EQ(nullptr, m.Find(L"data\\\u8868\u793a.pa"));

    // Written back: files, then trusted keys, then revoked ones.
    const std::string written = ManifestText(m);
    UpdateManifest again;
    ASSERT_TRUE(ParseManifest(written.data(), written.size(), again));
    EXPECT_EQ(written, ManifestText(again));
    EXPECT_EQ(text.size(), written.size());
}

TEST(UpdateManifest, RefusesEveryOtherForm)
{
    const std::string file = "file 1 " + kDigest + " a.txt\n";
    const struct {
        const char* what;
        std::string text;
        size_t badLine;
    } rows[] = {
        {"empty", "", 1},
        {"a byte-order mark", "\xEF\xBB\xBF" + kHead + kSettings, 1},
        {"another format version", "update-manifest 2\n", 1},
        {"CR LF line ends", "update-manifest 1\r\n", 1},
        {"no LF after the last line", kHead + kSettings.substr(0, kSettings.size() - 1), 5},
        {"no settings line", kHead, 5},
        {"header lines out of order",
         "update-manifest 1\nversion 1.2.0\nproduct Quillmark\\Starfall\nsequence 3\n" + kSettings, 2},
        {"an empty line", kHead + "\n" + kSettings, 5},
        {"two spaces", "update-manifest 1\nproduct  Quillmark\\Starfall\n", 2},
        {"an empty version", "update-manifest 1\nproduct Q\\S\nversion \n", 3},
        {"a version ending in a space", "update-manifest 1\nproduct Q\\S\nversion 1.0 \n", 3},
        {"a tab in the product", "update-manifest 1\nproduct Q\tS\n", 2},
        {"a C1 control in the product", "update-manifest 1\nproduct Q\xC2\x85S\n", 2},
        {"an overlong UTF-8 form", "update-manifest 1\nproduct Q\xC0\xAFS\n", 2},
        {"a UTF-16 surrogate in UTF-8", "update-manifest 1\nproduct Q\xED\xA0\x80S\n", 2},
        {"a cut UTF-8 sequence", "update-manifest 1\nproduct Q\xE8\xA1\n", 2},
        {"sequence 0", "update-manifest 1\nproduct Q\\S\nversion 1\nsequence 0\n", 4},
        {"sequence with a leading zero", "update-manifest 1\nproduct Q\\S\nversion 1\nsequence 03\n", 4},
        {"sequence above 32 bits", "update-manifest 1\nproduct Q\\S\nversion 1\nsequence 4294967296\n", 4},
        {"sequence with a sign", "update-manifest 1\nproduct Q\\S\nversion 1\nsequence +3\n", 4},
        {"a day that does not exist", kHead + "expires 2027-02-29T00:00:00Z\n" + kSettings, 5},
        {"hour 24", kHead + "expires 2027-01-01T24:00:00Z\n" + kSettings, 5},
        {"a time without Z", kHead + "expires 2027-01-01T00:00:00\n" + kSettings, 5},
        {"expires after settings", kHead + kSettings + "expires 2027-01-01T00:00:00Z\n", 6},
        {"an upper-case digest", kHead + "settings 12 E3B0" + kDigest.substr(4) + "\n", 5},
        {"a short digest", kHead + "settings 12 " + kDigest.substr(1) + "\n", 5},
        {"a size above 64 bits", kHead + "settings 18446744073709551616 " + kDigest + "\n", 5},
        {"a file line without item", kHead + kSettings + "file 1 " + kDigest + "\n", 6},
        {"a file line with an empty item", kHead + kSettings + "file 1 " + kDigest + " \n", 6},
        {"the same item twice", kHead + kSettings + file + "file 2 " + kDigest + " A.TXT\n", 7},
        {"the same item by another separator", kHead + kSettings + "file 1 " + kDigest + " d\\a\nfile 1 " +
                                                   kDigest + " d/a\n", 7},
        {"a short key", kHead + kSettings + "trust-key " + kKey.substr(2) + "\n", 6},
        {"an unknown line", kHead + kSettings + file + "comment hello\n", 7},
        {"a NUL in an item", kHead + kSettings + "file 1 " + kDigest + std::string(" a\0b\n", 5), 6},
        {"over 16 MiB", kHead + kSettings + std::string(16u << 20, 'x'), 1},
    };
    for (const auto& row : rows) {
        UpdateManifest m;
        size_t badLine = 0;
        EXPECT_FALSE(ParseManifest(row.text.data(), row.text.size(), m, &badLine)) << row.what;
        EXPECT_EQ(row.badLine, badLine) << row.what;
    }
}

TEST(UpdateSignature, TakesStrictDerAndRawBytes)
{
    auto bytes = [](std::initializer_list<int> list) {
        std::vector<unsigned char> out;
        for (int b : list)
            out.push_back(static_cast<unsigned char>(b));
        return out;
    };
    const struct {
        const char* what;
        std::vector<unsigned char> data;
        size_t forms;
    } rows[] = {
        {"r = 1, s = 0x80", bytes({0x30, 0x07, 0x02, 0x01, 0x01, 0x02, 0x02, 0x00, 0x80}), 1},
        {"a negative r", bytes({0x30, 0x06, 0x02, 0x01, 0x81, 0x02, 0x01, 0x01}), 0},
        {"r = 0", bytes({0x30, 0x06, 0x02, 0x01, 0x00, 0x02, 0x01, 0x01}), 0},
        {"a leading zero not needed", bytes({0x30, 0x07, 0x02, 0x02, 0x00, 0x01, 0x02, 0x01, 0x01}), 0},
        {"a long-form length", bytes({0x30, 0x81, 0x06, 0x02, 0x01, 0x01, 0x02, 0x01, 0x01}), 0},
        {"a sequence length past the end", bytes({0x30, 0x07, 0x02, 0x01, 0x01, 0x02, 0x01, 0x01}), 0},
        {"a byte after the sequence", bytes({0x30, 0x06, 0x02, 0x01, 0x01, 0x02, 0x01, 0x01, 0x00}), 0},
        {"one integer", bytes({0x30, 0x03, 0x02, 0x01, 0x01}), 0},
        {"three integers", bytes({0x30, 0x09, 0x02, 0x01, 0x01, 0x02, 0x01, 0x01, 0x02, 0x01, 0x01}), 0},
        {"not an INTEGER", bytes({0x30, 0x06, 0x04, 0x01, 0x01, 0x02, 0x01, 0x01}), 0},
        {"empty", {}, 0},
        {"63 bytes", std::vector<unsigned char>(63, 1), 0},
        {"64 bytes", std::vector<unsigned char>(64, 1), 1},
        {"65 bytes", std::vector<unsigned char>(65, 1), 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.forms, ReadSignature(row.data.data(), row.data.size()).size()) << row.what;

    // 33 bytes with the sign byte, and 32 with leading zeros, both at most 32
    // once read; written back as they came.
    std::vector<unsigned char> der = bytes({0x30, 0x26, 0x02, 0x21, 0x00});
    der.insert(der.end(), 32, 0xFF);
    der.insert(der.end(), {0x02, 0x01, 0x07});
    ASSERT_EQ(1u, ReadSignature(der.data(), der.size()).size());
    const P256Signature signature = ReadSignature(der.data(), der.size())[0];
    EXPECT_EQ(0xFF, signature[0]);
    EXPECT_EQ(0x00, signature[32]);
    EXPECT_EQ(0x07, signature[63]);
    EXPECT_EQ(der, SignatureDer(signature));
}

TEST(UpdateAnchor, KeyListsAndTheirChanges)
{
    // As the updater reads UpdateKeys: every entry a key, at least one.
    const std::wstring key(kKey.begin(), kKey.end());
    const std::string upper = "60FED4BA" + kKey.substr(8);
    const struct {
        std::wstring text;
        bool read;
    } lists[] = {
        {key + L"; " + std::wstring(upper.begin(), upper.end()) + L" ", true},  // the same key twice is one
        {L";" + key + L"; ;", true},
        {key + L";junk", false},
        {key.substr(2), false},
        {L" ; ", false},
    };
    for (const auto& list : lists) {
        std::vector<P256PublicKey> read;
        EXPECT_EQ(list.read, ParseKeyList(list.text, read)) << Utf8(list.text);
        if (list.read) {
            EXPECT_EQ(key, KeyListText(read)) << Utf8(list.text);
        }
    }

    const P256PublicKey a = Key(1), b = Key(2), c = Key(3);
    const struct {
        const char* what;
        std::vector<P256PublicKey> keys, trust, revoke, after;
    } rows[] = {
        {"a key added", {a}, {b}, {}, {a, b}},
        {"a key already there", {a, b}, {a}, {}, {a, b}},
        {"one of two revoked", {a, b}, {}, {a}, {b}},
        {"a new key replaces the old", {a}, {c}, {a}, {c}},
        {"revoking wins over trusting", {a}, {b}, {b}, {a}},
        {"the last key is never revoked", {a, b}, {}, {a, b}, {a, b}},
        {"an unknown key revoked", {a}, {}, {c}, {a}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.after, KeysAfter(row.keys, row.trust, row.revoke)) << row.what;
}
