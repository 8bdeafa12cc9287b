// The updater runs elevated from a folder any program may have written to:
// DLLs planted there must never be loaded.

#include "tests/e2e/e2e_fixture.h"

namespace {

// Tells Wine to prefer native DLLs for one program, as Windows searches a
// program's folder first for every DLL that is not a KnownDLL. Wine reads
// this when the program starts; the key is removed again afterwards.
class NativeFirst {
public:
    NativeFirst(const std::string& program, const std::vector<std::string>& dlls)
        : key_("Software\\Wine\\AppDefaults\\" + program)
    {
        HKEY overrides = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str(), 0,
                                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &overrides, nullptr));
        for (const std::string& dll : dlls)
            RegSetValueExA(overrides, dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                           15);
        RegCloseKey(overrides);
    }
    NativeFirst(const NativeFirst&) = delete;
    NativeFirst& operator=(const NativeFirst&) = delete;
    virtual ~NativeFirst()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    }

private:
    std::string key_;
};

}  // namespace

// Imported DLLs load before the program's first line, the others when it
// asks for them (version resources, the folder browser, the progress bar).
// Wine brings a few of its own whatever the program does while the process
// starts (uxtheme, imm32, shlwapi, and sechost and ucrtbase for its own
// kernelbase and advapi32), so those are not planted; every other library
// seen loading after the first statement (WINEDEBUG=+loaddll) is: msimg32,
// which the theme loads by name, zlib1, which Wine's user32 imports, and
// what the dialog, the folder browser and the progress bar bring.
TEST_F(E2ETest, DllsPlantedBesideTheUpdaterAreNeverLoaded)
{
    const std::vector<std::string> planted = {
        "version", "comctl32", "dwmapi", "propsys", "msimg32", "zlib1",   "actxprxy",
        "shcore",  "oleaut32", "combase", "rpcrt4", "gdi32",   "ole32",   "shell32", "win32u"};
    for (const std::string& dll : planted)
        Ship(dll + ".dll", ReadFileBytes(ProgramFolder() + "\\e2e-fixtures\\planted\\" + dll + ".dll"));
    // Started from the update folder, as users start it.
    const std::string updater = Ship("updater.exe", ReadFileBytes(UpdaterExe()));
    Ship("demo.exe", StubBytes("app-2.0.exe"));
    Installed("demo.exe", StubBytes("app-1.9.exe"));
    WriteIni("demo.exe");

    NativeFirst nativeFirst("updater.exe", planted);
    const SessionResult run = RunSession(updater, update, {Press(1001 /* Browse */), Press(IDCANCEL),
                                                           Press(IDOK), Press(IDOK)});
    ExpectCleanEnd(run);
    EXPECT_EQ(StubBytes("app-2.0.exe"), ReadFileBytes(InstalledPath("demo.exe")))
        << "the version check ran and the update completed";
    for (const std::string& dll : planted)
        EXPECT_FALSE(FileExists(ShippedPath(dll + ".dll.loaded"))) << dll << ".dll was loaded";
}
