// The resources of the built updater.exe, read as data: the dialog template
// control by control, the icon group, the manifest; and the version resources
// of both programs.

#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "tests/app/app_test_support.h"

namespace {

const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

std::string UpdaterPath()
{
    // tests\app\<test>.exe -> bin\updater.exe in the same build tree.
    return ProgramFolder() + "\\..\\..\\bin\\updater.exe";
}

class UpdaterModule {
public:
    UpdaterModule() : module(LoadLibraryExA(UpdaterPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    UpdaterModule(const UpdaterModule&) = delete;
    UpdaterModule& operator=(const UpdaterModule&) = delete;
    virtual ~UpdaterModule()
    {
        if (module)
            FreeLibrary(module);
    }

    std::string Resource(LPCSTR type, LPCSTR id, WORD language) const
    {
        HRSRC found = FindResourceExA(module, type, id, language);
        if (!found)
            return std::string();
        HGLOBAL loaded = LoadResource(module, found);
        const char* bytes = static_cast<const char*>(LockResource(loaded));
        return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
    }

    HMODULE module;
};

// Reads a dialog template field by field; past the end every read gives 0.
class TemplateReader {
public:
    explicit TemplateReader(const std::string& bytes) : bytes_(bytes), at_(0) {}
    virtual ~TemplateReader() = default;

    WORD Word()
    {
        WORD value = 0;
        if (at_ + 2 <= bytes_.size())
            memcpy(&value, bytes_.data() + at_, 2);
        at_ += 2;
        return value;
    }
    DWORD Dword()
    {
        const DWORD low = Word();
        return low | DWORD(Word()) << 16;
    }
    std::wstring Text()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0 && at_ <= bytes_.size(); c = Word())
            text += wchar_t(c);
        return text;
    }
    // A name-or-ordinal field: "#n" for an ordinal.
    std::wstring NameOrOrdinal()
    {
        const WORD first = Word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        if (first == 0)
            return L"";
        std::wstring text(1, wchar_t(first));
        return text + Text();
    }
    void AlignDword() { at_ = (at_ + 3) & ~size_t(3); }
    bool Done() const { return at_ >= bytes_.size(); }

private:
    const std::string& bytes_;
    size_t at_;
};

struct Control {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    WORD id;
    std::wstring windowClass;
    std::wstring text;
};

std::wstring ClassName(const std::wstring& field)
{
    if (field == L"#128") return L"button";
    if (field == L"#129") return L"edit";
    if (field == L"#130") return L"static";
    std::wstring lower;
    for (wchar_t c : field)
        lower += wchar_t(towlower(c));
    return lower;
}

TEST(UpdaterResources, DialogTemplateMatchesTheLayout)
{
    UpdaterModule updater;
    ASSERT_NE(nullptr, updater.module) << UpdaterPath();
    const std::string bytes = updater.Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_DESTINATION), japanese);
    ASSERT_FALSE(bytes.empty()) << "dialog 102 in language 1041";

    TemplateReader reader(bytes);
    EXPECT_EQ(0x80C808C0u, reader.Dword()) << "style";
    EXPECT_EQ(0u, reader.Dword()) << "extended style";
    const WORD count = reader.Word();
    EXPECT_EQ(6, count);
    const short box[4] = {short(reader.Word()), short(reader.Word()), short(reader.Word()),
                          short(reader.Word())};
    EXPECT_EQ(211, box[2]);
    EXPECT_EQ(101, box[3]);
    EXPECT_EQ(L"", reader.NameOrOrdinal()) << "menu";
    EXPECT_EQ(L"", reader.NameOrOrdinal()) << "class";
    EXPECT_EQ(L"", reader.Text()) << "caption";
    EXPECT_EQ(9, reader.Word()) << "font size";
    EXPECT_EQ(L"ＭＳ Ｐゴシック", reader.Text());

    std::vector<Control> controls;
    for (WORD i = 0; i < count && !reader.Done(); ++i) {
        reader.AlignDword();
        Control control;
        control.style = reader.Dword();
        control.exStyle = reader.Dword();
        control.x = short(reader.Word());
        control.y = short(reader.Word());
        control.cx = short(reader.Word());
        control.cy = short(reader.Word());
        control.id = reader.Word();
        control.windowClass = ClassName(reader.NameOrOrdinal());
        control.text = reader.NameOrOrdinal();
        const WORD extra = reader.Word();
        for (WORD skip = 0; skip < (extra + 1) / 2; ++skip)
            reader.Word();
        controls.push_back(control);
    }

    const DWORD shown = WS_CHILD | WS_VISIBLE;
    const Control expected[] = {
        {shown | WS_TABSTOP | BS_PUSHBUTTON, 0, 101, 80, 50, 14, 1, L"button", L"OK"},
        {shown | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 154, 80, 50, 14, 2, L"button", L"ｷｬﾝｾﾙ"},
        {shown | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 7, 24, 158, 13, 1000, L"edit", L""},
        {shown | WS_GROUP | SS_LEFT, 0, 7, 12, 47, 8, 0xFFFF, L"static", L"アップデート先："},
        {shown | WS_GROUP | SS_LEFT | SS_SUNKEN, 0, 7, 43, 197, 26, 0xFFFF, L"static",
         L"上記の場所のデータをアップデートします。\nインストール先が違う場合、参照ボタンで修正してください。"},
        {shown | WS_TABSTOP | BS_PUSHBUTTON, 0, 170, 24, 34, 14, 1001, L"button", L"参照..."},
    };
    ASSERT_EQ(6u, controls.size());
    for (size_t i = 0; i < 6; ++i) {
        const Control& got = controls[i];
        const Control& want = expected[i];
        EXPECT_EQ(want.style, got.style) << "control " << i;
        EXPECT_EQ(want.exStyle, got.exStyle) << "control " << i;
        EXPECT_EQ(want.x, got.x) << "control " << i;
        EXPECT_EQ(want.y, got.y) << "control " << i;
        EXPECT_EQ(want.cx, got.cx) << "control " << i;
        EXPECT_EQ(want.cy, got.cy) << "control " << i;
        EXPECT_EQ(want.id, got.id) << "control " << i;
        EXPECT_TRUE(want.windowClass == got.windowClass) << "class of control " << i;
        EXPECT_TRUE(want.text == got.text) << "text of control " << i;
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST(UpdaterResources, IconGroupHoldsEightImagesOfThreeSizes)
{
    UpdaterModule updater;
    ASSERT_NE(nullptr, updater.module) << UpdaterPath();
    const std::string group =
        updater.Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), japanese);
    ASSERT_GE(group.size(), 6u);
    WORD header[3];
    memcpy(header, group.data(), 6);
    EXPECT_EQ(1, header[1]) << "icon, not cursor";
    ASSERT_EQ(8, header[2]);
    ASSERT_EQ(6u + 8 * sizeof(GroupIconEntry), group.size());

    std::set<int> sizes;
    std::set<std::pair<int, int>> kinds;
    for (int i = 0; i < 8; ++i) {
        GroupIconEntry entry;
        memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        EXPECT_EQ(entry.width, entry.height) << "image " << i;
        sizes.insert(entry.width);
        kinds.insert({entry.width, entry.bitCount});
        const std::string image = updater.Resource(RT_ICON, MAKEINTRESOURCEA(entry.id), japanese);
        EXPECT_EQ(entry.bytesInRes, image.size()) << "image " << i;
        // Each image must be one the platform can turn into an icon.
        HICON icon = CreateIconFromResourceEx(
            reinterpret_cast<BYTE*>(const_cast<char*>(image.data())), DWORD(image.size()), TRUE,
            0x00030000, entry.width, entry.height, 0);
        EXPECT_NE(nullptr, icon) << "image " << i;
        if (icon)
            DestroyIcon(icon);
    }
    EXPECT_EQ((std::set<int>{16, 32, 48}), sizes);
    EXPECT_EQ(8u, kinds.size()) << "no image repeated";
}

TEST(UpdaterResources, ManifestAsksForAdministratorAndCommonControls)
{
    UpdaterModule updater;
    ASSERT_NE(nullptr, updater.module) << UpdaterPath();
    const std::string manifest = updater.Resource(RT_MANIFEST, MAKEINTRESOURCEA(1), japanese) +
                                 updater.Resource(RT_MANIFEST, MAKEINTRESOURCEA(1),
                                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_FALSE(manifest.empty());
    for (const char* part : {"level=\"requireAdministrator\"", "Microsoft.Windows.Common-Controls",
                             "version=\"6.0.0.0\"", "<dpiAware", ">true</dpiAware>"})
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
}

// The four numbers of a version text such as "1.2.0", missing ones 0.
std::vector<WORD> VersionNumbers(const std::string& text)
{
    std::vector<WORD> numbers;
    size_t at = 0;
    while (at <= text.size() && numbers.size() < 4) {
        const size_t dot = std::min(text.find('.', at), text.size());
        numbers.push_back(WORD(std::stoul(text.substr(at, dot - at))));
        at = dot + 1;
    }
    numbers.resize(4, 0);
    return numbers;
}

// Both programs carry the version CMake's project() sets (VERSION_FROM_CMAKE,
// a compile definition), as text and as numbers.
TEST(ProgramResources, VersionResourceNamesEachProgramAndTheProjectVersion)
{
    struct Row {
        const char* program;
        const char* block;  // the StringFileInfo block: language and code page
        WORD language;
        WORD codePage;
    };
    const Row rows[] = {
        {"updater.exe", "041103a4", 0x0411, 932},
        {"updtool.exe", "040904b0", 0x0409, 1200},
    };
    const std::string version = VERSION_FROM_CMAKE;
    const std::vector<WORD> numbers = VersionNumbers(version);
    for (const Row& row : rows) {
        const std::string path = ProgramFolder() + "\\..\\..\\bin\\" + row.program;
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_NE(0u, size) << row.program;
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data())) << row.program;
        WORD* translation = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                   reinterpret_cast<void**>(&translation), &length));
        ASSERT_GE(length, 4u);
        EXPECT_EQ(row.language, translation[0]) << row.program;
        EXPECT_EQ(row.codePage, translation[1]) << row.program;

        const std::pair<const char*, std::string> texts[] = {
            {"OriginalFilename", row.program}, {"FileVersion", version}, {"ProductVersion", version}};
        for (const auto& text : texts) {
            const std::string query = std::string("\\StringFileInfo\\") + row.block + "\\" + text.first;
            char* value = nullptr;
            ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
                << row.program << " " << query;
            EXPECT_EQ(text.second, value) << row.program << " " << text.first;
        }

        VS_FIXEDFILEINFO* fixed = nullptr;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
        EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
        const DWORD high = MAKELONG(numbers[1], numbers[0]), low = MAKELONG(numbers[3], numbers[2]);
        EXPECT_EQ(high, fixed->dwFileVersionMS) << row.program;
        EXPECT_EQ(low, fixed->dwFileVersionLS) << row.program;
        EXPECT_EQ(high, fixed->dwProductVersionMS) << row.program;
        EXPECT_EQ(low, fixed->dwProductVersionLS) << row.program;
        // A release is rebuilt byte for byte: no build date, no debug flag.
        EXPECT_EQ(0u, fixed->dwFileDateMS | fixed->dwFileDateLS) << row.program;
        EXPECT_EQ(0u, fixed->dwFileFlags) << row.program;
    }
}

}
