// The install-location lookup against the real registry of the test prefix.

#include <gtest/gtest.h>
#include <memory>

#include "update/install_lookup.h"
#include "system/registry_key.h"
#include "tests/app/app_test_support.h"
#include "tests/support/scratch_dir.h"

namespace {

const char* const notFoundFormat =
    "%s のインストール先が見つかりませんでした。\n"
    "インストール済みの場合、お手数ですがインストール先を指定してください。";

std::string NotFoundText(const std::string& title)
{
    char text[1024];
    wsprintfA(text, notFoundFormat, title.c_str());
    return text;
}

UpdateSettings Settings(const std::string& brand, const std::string& name, const char* title)
{
    UpdateSettings settings;
    settings.SetDefaults();
    settings.brand.Assign(brand.c_str());
    settings.name.Assign(name.c_str());
    if (title)
        settings.title.Assign(title);
    return settings;
}

// The lookup's folder into destination; the notice the run would show.
std::string Locate(const UpdateSettings& settings, std::wstring& destination)
{
    String notice;
    LocateInstallDirectory(settings, destination, notice);
    return TextOf(notice);
}

std::string WithNul(const std::string& text)
{
    return text + '\0';
}

struct Row {
    const char* label;
    bool createKey;
    bool setValue;
    std::string stored;  // raw bytes of the execute value
    std::string expected;  // "" : the notice and the program-files folder
};

TEST(InstallLookup, TakesTheFolderOfTheRecordedProgram)
{
    ASSERT_FALSE(ProgramFilesDir().empty());
    const Row rows[] = {
        {"program path", true, true, WithNul("C:\\Games\\Demo\\game.exe"), "C:\\Games\\Demo"},
        {"trailing backslash", true, true, WithNul("C:\\Games\\Demo\\"), "C:\\Games\\Demo\\"},
        {"no backslash", true, true, WithNul("game.exe"), "game.exe"},
        {"quoted path kept", true, true, WithNul("\"C:\\A B\\x.exe\""), "\"C:\\A B"},
        {"stored without NUL", true, true, "D:\\Tools\\run.exe", "D:\\Tools"},
        {"NUL inside the data", true, true, std::string("E:\\P\\q.exe\0junk\\z", 17), "E:\\P"},
        {"double-byte names", true, true, WithNul("C:\\ソフト\\表示.exe"), "C:\\ソフト"},
        // 576 bytes with the terminator fill the buffer; one more does not fit.
        {"576 bytes fit", true, true, WithNul("C:\\" + std::string(566, 'a') + "\\b.exe"),
         "C:\\" + std::string(566, 'a')},
        {"577 bytes do not fit", true, true, WithNul("C:\\" + std::string(567, 'a') + "\\b.exe"), ""},
        {"empty value", true, true, WithNul(""), ""},
        {"value missing", true, false, "", ""},
        {"key missing", false, false, "", ""},
    };
    for (const Row& row : rows) {
        const std::string brand = UniqueName("TestBrand");
        const std::string name = UniqueName("Product");
        std::wstring destination;
        std::string notice;
        {
            std::unique_ptr<MachineKey> key;
            if (row.createKey) {
                key.reset(new MachineKey("SOFTWARE\\" + brand + "\\" + name));
                if (row.setValue)
                    key->SetRaw("execute", row.stored);
            }
            notice = Locate(Settings(brand, name, nullptr), destination);
        }
        if (row.expected.empty()) {
            EXPECT_EQ(ProgramFilesDir(), AsStd(destination)) << row.label;
            EXPECT_EQ(NotFoundText("アップデート"), notice) << row.label;
        } else {
            EXPECT_EQ(row.expected, AsStd(destination)) << row.label;
            EXPECT_EQ("", notice) << row.label;
        }
    }
}

TEST(InstallLookup, NoticeNamesTheTitle)
{
    std::wstring destination;
    EXPECT_EQ(NotFoundText("デモ製品"), Locate(Settings(UniqueName("Absent"), "Nothing", "デモ製品"), destination));
}

TEST(InstallLookup, BrandWithBackslashAddressesADeeperKey)
{
    const std::string brand = UniqueName("TestOuter");
    MachineKey key("SOFTWARE\\" + brand + "\\Inner\\Game");
    key.SetText("execute", "F:\\Deep\\game.exe");
    std::wstring destination;
    EXPECT_EQ("", Locate(Settings(brand + "\\Inner", "Game", nullptr), destination));
    EXPECT_EQ("F:\\Deep", AsStd(destination));
}

TEST(InstallLookup, KeyTheUserMayOnlyReadIsFound)
{
    // A key whose access list grants reading only: a lookup that asks for
    // more than reading would not see it.
    const std::string brand = UniqueName("TestReadOnly");
    const std::string subKey = "SOFTWARE\\" + brand + "\\Product";
    {
        MachineKey key(subKey);
        key.SetText("execute", "G:\\Locked\\app.exe");
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        char aclBuffer[256];
        PACL acl = reinterpret_cast<PACL>(aclBuffer);
        InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | DELETE, everyone);
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key.handle, DACL_SECURITY_INFORMATION, &descriptor));
        FreeSid(everyone);

        HKEY probe = nullptr;
        const bool writeRefused = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0,
                                                KEY_ALL_ACCESS, &probe) != ERROR_SUCCESS;
        if (probe)
            RegCloseKey(probe);
        if (!writeRefused)
            GTEST_SKIP() << "this registry does not enforce key access lists";

        std::wstring destination;
        EXPECT_EQ("", Locate(Settings(brand, "Product", nullptr), destination));
        EXPECT_EQ("G:\\Locked", AsStd(destination));
    }
}

TEST(RegistryKey, OpensAgainAndLeavesTextOnFailure)
{
    const std::string brand = UniqueName("TestKey");
    MachineKey first("SOFTWARE\\" + brand + "\\One");
    first.SetText("execute", "one");
    MachineKey second("SOFTWARE\\" + brand + "\\Two");
    second.SetText("execute", "two");

    RegistryKey key;
    std::wstring value;
    EXPECT_FALSE(key.QueryString(L"execute", value, 100)) << "nothing open";
    EXPECT_EQ(L"", value);

    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\" + brand + "\\One")));
    EXPECT_TRUE(key.QueryString(L"execute", value, 100));
    EXPECT_EQ(L"one", value);

    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\" + brand + "\\Two")));
    EXPECT_FALSE(key.QueryString(L"missing", value, 100));
    EXPECT_EQ(L"one", value) << "a failed query keeps the text";
    EXPECT_TRUE(key.QueryString(L"execute", value, 100));
    EXPECT_EQ(L"two", value);

    EXPECT_FALSE(key.Open(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\" + brand + "\\Three")));
    EXPECT_FALSE(key.handle.Valid());
    key.Close();
    EXPECT_FALSE(key.handle.Valid());
}

TEST(RegistryKey, ValueLongerThanTheBufferKeepsTheText)
{
    const std::string brand = UniqueName("TestLong");
    MachineKey machineKey("SOFTWARE\\" + brand + "\\Long");
    machineKey.SetText("execute", std::string(200, 'x'));
    // Binary data: the platform adds no terminator of its own to it.
    machineKey.SetRaw("exact", std::string(128, 'y'), REG_BINARY);  // fills capacity, no NUL

    // Measured as the bytes a Japanese system's -A call needs, terminator
    // included: 63 double-byte characters fit 128 bytes, 64 do not.
    std::string fits, over;
    for (int i = 0; i < 63; ++i)
        fits += "あ";
    over = fits + "あ";
    machineKey.SetText("fits", fits);
    machineKey.SetText("over", over);

    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\" + brand + "\\Long")));
    std::wstring value = L"kept";
    struct Row { const wchar_t* name; bool read; std::string expected; } rows[] = {
        {L"execute", false, "kept"},
        {L"exact", true, std::string(128, 'y')},
        {L"over", false, std::string(128, 'y')},
        {L"fits", true, fits},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.read, key.QueryString(row.name, value, 128)) << AsStd(row.name);
        EXPECT_EQ(row.expected, AsStd(value)) << AsStd(row.name);
    }
}

}
