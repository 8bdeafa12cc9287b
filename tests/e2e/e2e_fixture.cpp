#include "tests/e2e/e2e_fixture.h"

#include "base/text_932.h"

std::string ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    String shown;
    ShownIn932(path, shown);
    const std::string folder = TextOf(shown);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string UpdaterExe() { return ProgramFolder() + "\\updater.exe"; }

std::string StubBytes(const std::string& fileName)
{
    const std::string bytes = ReadFileBytes(ProgramFolder() + "\\e2e-fixtures\\" + fileName);
    EXPECT_NE(bytes, "<missing>") << "stub " << fileName << " was not built";
    return bytes;
}

ProductKey::ProductKey(const std::string& brand, const std::string& name)
    : brand_(brand), name_(name)
{
}

ProductKey::~ProductKey()
{
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\" + brand_ + "\\" + name_).c_str());
    // Fails while another run's key is still below it, which is fine.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\" + brand_).c_str());
}

void ProductKey::SetExecute(const std::string& path)
{
    SetExecute(Wide(path));
}

void ProductKey::SetExecute(const std::wstring& path)
{
    HKEY key = nullptr;
    const std::string subKey = "SOFTWARE\\" + brand_ + "\\" + name_;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(subKey).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << subKey;
    RegSetValueExW(key, L"execute", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   DWORD((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

FILETIME MakeTime(WORD year, WORD month, WORD day)
{
    SYSTEMTIME system = {};
    system.wYear = year;
    system.wMonth = month;
    system.wDay = day;
    system.wHour = 12;
    FILETIME time = {};
    SystemTimeToFileTime(&system, &time);
    return time;
}

FILETIME LastWriteTime(const std::string& path)
{
    FILETIME time = {};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
        time = data.ftLastWriteTime;
    return time;
}

FILETIME LastAccessTime(const std::string& path)
{
    FILETIME time = {};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
        time = data.ftLastAccessTime;
    return time;
}

void SetLastWriteTime(const std::string& path, const FILETIME& time, const FILETIME* lastAccess)
{
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileW(wide.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    SetFileTime(file, nullptr, lastAccess ? lastAccess : &time, &time);
    CloseHandle(file);
    SetFileAttributesW(wide.c_str(), attributes);
}

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

const char* const E2ETest::kCaption = u8"Demo Version 2.0 アップデート";
const char* const E2ETest::kDone = u8"アップデートが終了しました。";

namespace {
std::string UniqueName()
{
    static unsigned counter = 0;
    return "Run" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(++counter);
}
}  // namespace

E2ETest::E2ETest()
    : update(scratch.Path("update")), install(scratch.Path("install")), brand("QuillmarkE2E"),
      name(UniqueName()), key(brand, name)
{
    CreateDirectoryW(Wide(update).c_str(), nullptr);
    CreateDirectoryW(Wide(install).c_str(), nullptr);
    key.SetExecute(install + "\\demo.exe");
}

void E2ETest::WriteIni(const std::string& fileList, const std::string& moreLines)
{
    WriteFileBytes(update + "\\update.ini", "[update]\r\nBrand=" + brand + "\r\nName=" + name +
                                                "\r\nTitle=Demo\r\nVersion=2.0\r\nfile=" +
                                                fileList + "\r\n" + moreLines);
}

std::string E2ETest::Ship(const std::string& name, const std::string& bytes)
{
    WriteFileBytes(ShippedPath(name), bytes);
    return ShippedPath(name);
}

std::string E2ETest::Installed(const std::string& name, const std::string& bytes)
{
    WriteFileBytes(InstalledPath(name), bytes);
    return InstalledPath(name);
}

SessionResult E2ETest::Run(const std::vector<Step>& steps)
{
    return RunSession(UpdaterExe(), update, steps);
}

void E2ETest::ExpectCleanEnd(const SessionResult& run)
{
    EXPECT_EQ(run.problem, "");
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
}
