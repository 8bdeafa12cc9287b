// The checks of a listed update below the run: sizes before any digest,
// the sources held against writers until the run ends, and every load of
// the settings held to the manifest.

#include "trust/signed_update.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include "base/exceptions.h"
#include "base/text_932.h"
#include "tests/app/app_test_support.h"
#include "tests/support/folder_link.h"
#include "trust/update_anchor.h"
#include "tests/support/scratch_dir.h"
#include "settings/settings_reader.h"

namespace {

class ListedFolder {
public:
    ListedFolder() : here(scratch.Path())
    {
        WriteFileBytes(scratch.Path("update.ini"), "[update]\r\nfile=a.txt;b.txt\r\n");
        WriteFileBytes(scratch.Path("a.txt"), "aaaa");
        WriteFileBytes(scratch.Path("b.txt"), "bbbbbbbb");
        manifest.product = L"Q\\S";
        manifest.version = L"1";
        manifest.sequence = 1;
        const std::string ini = ReadFileBytes(scratch.Path("update.ini"));
        manifest.settingsSize = ini.size();
        manifest.settingsDigest = Sha256::Of(ini.data(), ini.size());
        for (const char* item : {"a.txt", "b.txt"}) {
            const std::string bytes = ReadFileBytes(scratch.Path(item));
            ManifestFile file;
            file.item = Wide(item);
            file.size = bytes.size();
            file.digest = Sha256::Of(bytes.data(), bytes.size());
            manifest.Add(file);
        }
        std::vector<String> listed(2);
        listed[0].Assign("a.txt");
        listed[1].Assign("b.txt");
        items = MakeItemRecords(listed);
    }
    virtual ~ListedFolder() {}

    void Write() { WriteFileBytes(scratch.Path("update.manifest"), ManifestText(manifest)); }

    ScratchDir scratch;
    CurrentDirectory here;
    UpdateManifest manifest;
    std::vector<ItemRecord> items;
};

// text with its terminator, as a REG_SZ value's bytes.
std::string Utf16z(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

// The refusal's code and text, or "" when nothing was raised.
std::string Refusal(const std::function<void()>& run)
{
    try {
        run();
    } catch (const OCErrorException& e) {
        return std::to_string(e.code) + " " + TextOf(e.message);
    }
    return "";
}

}  // namespace

TEST(SignedUpdate, SizesComeBeforeAnyDigest)
{
    const std::string altered = "1392 ファイル %s が壊れているか、書き換えられています。";
    auto expected = [&](const char* item) {
        std::string text = altered;
        return text.replace(text.find("%s"), 2, item);
    };
    const struct {
        const char* what;
        std::function<void(ListedFolder&)> change;
        std::string refusal;
    } rows[] = {
        {"as listed", [](ListedFolder&) {}, ""},
        // a.txt's digest is wrong too, but b.txt's size is found first.
        {"first a digest, then a size",
         [](ListedFolder& f) {
             WriteFileBytes(f.scratch.Path("a.txt"), "aaab");
             WriteFileBytes(f.scratch.Path("b.txt"), "bbbbbbbbb");
         },
         expected("b.txt")},
        {"a digest", [](ListedFolder& f) { WriteFileBytes(f.scratch.Path("b.txt"), "bbbbbbbc"); },
         expected("b.txt")},
        {"shorter", [](ListedFolder& f) { WriteFileBytes(f.scratch.Path("a.txt"), "aaa"); }, expected("a.txt")},
        {"missing", [](ListedFolder& f) { DeleteFileW(Wide(f.scratch.Path("a.txt")).c_str()); },
         "2 ファイル a.txt が見つかりません。"},
        {"a folder", [](ListedFolder& f) {
             DeleteFileW(Wide(f.scratch.Path("a.txt")).c_str());
             CreateDirectoryW(Wide(f.scratch.Path("a.txt")).c_str(), nullptr);
         },
         "5 ファイル a.txt が読めませんでした。"},
    };
    for (const auto& row : rows) {
        ListedFolder folder;
        folder.Write();
        row.change(folder);
        SignedUpdate check;
        check.LoadManifest();
        EXPECT_EQ(row.refusal, Refusal([&] { check.CheckSources(folder.items, nullptr, nullptr, nullptr); }))
            << row.what;
    }
}

TEST(SignedUpdate, HoldsTheSourcesAgainstWritersUntilItGoes)
{
    ListedFolder folder;
    folder.Write();
    const std::wstring a = Wide(folder.scratch.Path("a.txt"));
    {
        SignedUpdate check;
        check.LoadManifest();
        uint64_t read = 0;
        check.CheckSources(folder.items, nullptr, [](uint32_t bytes, void* user) { *static_cast<uint64_t*>(user) += bytes; },
                           &read);
        EXPECT_EQ(12u, read);
        EXPECT_EQ(12u, check.CheckedBytes(folder.items));

        HANDLE writer = CreateFileW(a.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
        EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
        EXPECT_FALSE(MoveFileW(a.c_str(), (a + L".moved").c_str())) << "renamed under the check";
        EXPECT_FALSE(DeleteFileW(a.c_str())) << "deleted under the check";
        // The copy's own open, as the runtime's reading open shares.
        HANDLE reader = CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, reader);
        CloseHandle(reader);
    }
    HANDLE writer = CreateFileW(a.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, writer) << "released with the object";
    CloseHandle(writer);
}

TEST(SignedUpdate, EveryLoadOfTheSettingsIsHeldToTheManifest)
{
    ListedFolder folder;
    folder.Write();
    String value;
    {
        SignedUpdate check;
        check.LoadManifest();
        EXPECT_EQ("", Refusal([&] { ReadSetting("update", "file", value, "update.ini"); }));
        EXPECT_STREQ("a.txt;b.txt", TextOf(value));
        WriteFileBytes(folder.scratch.Path("update.ini"), "[update]\r\nfile=a.txt;b.txx\r\n");
        EXPECT_EQ("1392 ファイル update.ini が壊れているか、書き換えられています。",
                  Refusal([&] { ReadSetting("update", "file", value, "update.ini"); }));
    }
    EXPECT_EQ("", Refusal([&] { ReadSetting("update", "file", value, "update.ini"); })) << "unchecked once it goes";
    EXPECT_STREQ("a.txt;b.txx", TextOf(value));

    // No manifest: nothing is checked, nothing is held.
    DeleteFileW(Wide(folder.scratch.Path("update.manifest")).c_str());
    SignedUpdate none;
    none.LoadManifest();
    EXPECT_EQ("", Refusal([&] { none.CheckSources(folder.items, nullptr, nullptr, nullptr); }));
    EXPECT_EQ(0u, none.CheckedBytes(folder.items));
    EXPECT_EQ("", Refusal([&] { ReadSetting("update", "file", value, "update.ini"); }));
}

// The one expiry rule the updater's check and the publisher's --expires ask.
TEST(SignedUpdate, ExpiryAgainstNow)
{
    const struct {
        uint64_t expires;
        bool expired;
    } rows[] = {{0, false}, {20000101000000u, true}, {99991231235959u, false}};
    for (const auto& row : rows)
        EXPECT_EQ(row.expired, ManifestExpired(row.expires)) << row.expires;
}

// Two listings of one item, as the system compares names, in a folder that
// tells case apart (Wine's, as a case-sensitive folder on Windows): the
// listing whose bytes are checked is the one the run copies, the last.
TEST(SignedUpdate, ChecksTheListingTheRunCopies)
{
    ListedFolder folder;
    WriteFileBytes(folder.scratch.Path("planted.bin"), "planted");
    ASSERT_TRUE(StartCaseCopy(folder.scratch.Path(), "A.TXT", folder.scratch.Path("planted.bin")));
    // The copy shows under its own name once cp has made it; a.txt answers
    // to that name until then.
    for (int waited = 0; waited < 6000 && ReadFileBytes(folder.scratch.Path("A.TXT")) != "planted"; ++waited)
        Sleep(10);
    ASSERT_EQ("planted", ReadFileBytes(folder.scratch.Path("A.TXT"))) << "no case-sensitive folder here";
    folder.manifest = UpdateManifest();
    WriteFileBytes(folder.scratch.Path("update.ini"), "[update]\r\nfile=a.txt;A.TXT\r\n");
    const std::string ini = ReadFileBytes(folder.scratch.Path("update.ini"));
    folder.manifest.product = L"Q\\S";
    folder.manifest.version = L"1";
    folder.manifest.sequence = 1;
    folder.manifest.settingsSize = ini.size();
    folder.manifest.settingsDigest = Sha256::Of(ini.data(), ini.size());
    ManifestFile listed;
    listed.item = L"a.txt";
    listed.size = 4;
    listed.digest = Sha256::Of("aaaa", 4);
    folder.manifest.Add(listed);
    folder.Write();

    std::vector<String> items(2);
    items[0].Assign("a.txt");
    items[1].Assign("A.TXT");
    const std::vector<ItemRecord> records = MakeItemRecords(items);
    ASSERT_FALSE(records[0].Taken());
    ASSERT_TRUE(records[1].Taken()) << "the run copies the last listing";
    SignedUpdate check;
    check.LoadManifest();
    EXPECT_EQ("1392 ファイル A.TXT が壊れているか、書き換えられています。",
              Refusal([&] { check.CheckSources(records, nullptr, nullptr, nullptr); }));
}

// The product's anchor as the registry holds it: a value there but not in
// its form is never taken as missing, and the signed checks refuse it
// before the dialog.
TEST(SignedUpdate, AnchorValuesOutOfTheirFormRefuseTheRun)
{
    const std::string key(128, 'a');
    const std::wstring keyText(key.begin(), key.end());
    const DWORD five = 5;
    const unsigned long long wide = 5;
    const struct {
        const char* label;
        DWORD keysType;
        std::string keys;  // raw bytes; "" with type 0: no value
        DWORD sequenceType;
        std::string sequence;
        const char* fault;
    } rows[] = {
        {"keys and a sequence", REG_SZ, Utf16z(keyText), REG_DWORD, std::string((const char*)&five, 4), ""},
        {"no sequence", REG_SZ, Utf16z(keyText), 0, "", ""},
        {"no keys: no anchor", 0, "", REG_DWORD, std::string((const char*)&five, 4), ""},
        {"a sequence of eight bytes", REG_SZ, Utf16z(keyText), REG_QWORD, std::string((const char*)&wide, 8),
         "UpdateSequence"},
        {"a sequence as text", REG_SZ, Utf16z(keyText), REG_SZ, Utf16z(L"5"), "UpdateSequence"},
        {"keys as bytes", REG_BINARY, key, REG_DWORD, std::string((const char*)&five, 4), "UpdateKeys"},
        {"keys too long", REG_SZ, Utf16z(std::wstring(131579, L'a')), 0, "", "UpdateKeys"},
        {"an entry that is no key", REG_SZ, Utf16z(keyText + L";123"), 0, "", "UpdateKeys"},
        {"no key at all", REG_SZ, Utf16z(L""), 0, "", "UpdateKeys"},
    };
    for (const auto& row : rows) {
        const std::string name = UniqueName("Anchor");
        UpdateSettings settings;
        settings.SetDefaults();
        settings.brand.Assign("TestAnchor");
        settings.name.Assign(name.c_str());
        {
            MachineKey product("SOFTWARE\\TestAnchor\\" + name);
            // Through the -W call: the bytes stay as they are.
            const auto set = [&product](const wchar_t* value, DWORD type, const std::string& bytes) {
                EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(product.handle, value, 0, type,
                                                        reinterpret_cast<const BYTE*>(bytes.data()),
                                                        DWORD(bytes.size())));
            };
            if (row.keysType)
                set(L"UpdateKeys", row.keysType, row.keys);
            if (row.sequenceType)
                set(L"UpdateSequence", row.sequenceType, row.sequence);
            UpdateAnchor anchor;
            ReadUpdateAnchor(settings, anchor);
            EXPECT_EQ(Wide(row.fault), anchor.fault) << row.label;
            EXPECT_EQ(row.keysType != 0, anchor.present) << row.label;
            SignedUpdate check;
            const std::string refusal = Refusal([&] { check.CheckBeforeDialog(settings, {}, anchor); });
            EXPECT_EQ(*row.fault ? "13 レジストリの値 " + std::string(row.fault) + " が正しくありません。"
                                 : std::string(row.keysType ? "2 ファイル update.manifest が見つかりません。" : ""),
                      refusal)
                << row.label;
        }
    }
}
