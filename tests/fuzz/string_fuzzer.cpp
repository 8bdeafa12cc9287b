// The String operations the readers scan with, and the path helpers (the
// text's UTF-16 form for the wide ones), in any order over arbitrary bytes.
// Input: a text, then operations with their arguments (FuzzedDataProvider).

#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include "base/multibyte.h"
#include "base/text_932.h"
#include "paths/paths.h"
#include "paths/wide_paths.h"
#include "tests/fuzz/fuzz_checks.h"

namespace {

void CheckShape(const String& s)
{
    if (s.text == nullptr) {
        FUZZ_CHECK(s.cursor == nullptr && s.capacity == 0 && s.length == 0);
        return;
    }
    FUZZ_CHECK(s.capacity >= 64 && s.capacity % 64 == 0);
    const size_t n = strnlen(s.text, size_t(s.capacity) + 1);
    FUZZ_CHECK(n <= size_t(s.capacity));
    FUZZ_CHECK(s.cursor >= s.text && s.cursor <= s.text + n);
}

// True when every lead byte of text has its trail byte.
bool Valid932(const char* text)
{
    for (const char* p = text; *p != '\0'; p = NextChar(p))
        if (IsLeadByte(static_cast<unsigned char>(*p)) && !IsTrailByte(static_cast<unsigned char>(p[1])))
            return false;
    return true;
}

// The text as a path of the system's: one WCHAR for each character as the
// readers step, a backslash exactly where the text has a single-byte one
// (never a trail byte); valid 932 comes back byte for byte; the wide path
// helpers keep to the path.
void CheckWide(const char* text)
{
    const std::wstring wide = WideFrom932(text);
    size_t i = 0;
    for (const char* p = text; *p != '\0'; p = NextChar(p), ++i)
        FUZZ_CHECK(i < wide.size() && (wide[i] == L'\\') == (CharLength(p) == 1 && *p == '\\'));
    FUZZ_CHECK(i == wide.size());
    String back;
    const bool exact = ExactlyTo932(wide, back);
    FUZZ_CHECK(!Valid932(text) || (exact && strcmp(TextOf(back), text) == 0));

    FilePath path;
    path.SetPath(wide);
    std::wstring directory;
    path.DirectoryPart(directory);
    FUZZ_CHECK(wide.compare(0, directory.size(), directory) == 0);
    const std::wstring folder = ContainingFolder(wide);
    FUZZ_CHECK(folder == L"." || wide.compare(0, folder.size(), folder) == 0);
    const std::wstring full = LongPathForm(wide);
    FUZZ_CHECK(wide.size() < MAX_PATH ? full == wide
                                      : full.empty() || full.compare(0, 4, L"\\\\?\\") == 0 ||
                                            full.compare(0, 4, L"\\\\.\\") == 0);
}

// A place in the text (or null), for CopyRange.
const char* Place(const String& s, FuzzedDataProvider& in)
{
    if (s.text == nullptr || in.ConsumeBool())
        return nullptr;
    return s.text + in.ConsumeIntegralInRange<int32_t>(0, s.capacity);
}

void Step(String& s, String& other, FuzzedDataProvider& in)
{
    const std::string arg = in.ConsumeRandomLengthString(16);
    const char* a = arg.c_str();
    switch (in.ConsumeIntegralInRange(0, 13)) {
    case 0: {
        if (s.text != nullptr)  // callers place the cursor inside the text
            s.cursor = s.text + in.ConsumeIntegralInRange<size_t>(0, strlen(s.text));
        break;
    }
    case 1: {
        String& token = in.ConsumeBool() ? s : other;  // may be the String itself
        if (s.NextToken(token, a) != nullptr)
            FUZZ_CHECK(!token.IsEmpty());
        break;
    }
    case 2: s.Replace(a, in.ConsumeBool() ? nullptr : in.ConsumeRandomLengthString(8).c_str()); break;
    case 3: s.Find(in.ConsumeIntegral<uint16_t>()); break;
    case 4: s.ReverseFind(in.ConsumeIntegral<uint16_t>()); break;
    case 5: s.FindAny(a); break;
    case 6: s.FindText(a); break;
    case 7: s.SkipAny(a); break;
    case 8: s.CompareNoCase(a); s.CurrentChar(); break;
    case 9: {
        const char* from = Place(s, in);
        const char* to = Place(s, in);
        s.CopyRange(in.ConsumeBool() ? s : other, from, to);
        break;
    }
    case 10: {
        const int32_t count = in.ConsumeIntegralInRange<int32_t>(-2, 300);
        s.Delete(count, in.ConsumeIntegralInRange<int32_t>(-2, 300));
        break;
    }
    case 11: {
        // A counted text read from memory, bounded as a caller bounds it by
        // what the source holds (the count alone would reserve up to 2 GiB).
        ArchiveFile source;
        std::string bytes = in.ConsumeRandomLengthString(64);
        source.AttachMemory(&bytes[0], uint32_t(bytes.size()), false);
        s.ReadCounted(source, uint32_t(bytes.size()));
        break;
    }
    case 12:
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: s.Format("%s\\%s", a, TextOf(other)); break;
        case 1:
            s.AppendFormat("%.*s|%*s|%x", in.ConsumeIntegralInRange(-5, 300), a,
                           in.ConsumeIntegralInRange(-300, 300), TextOf(other), unsigned(s.length));
            break;
        default: s.Append(a, in.ConsumeIntegralInRange(-1, 20)); break;
        }
        break;
    default: {
        EndsWithSeparator(s.text);
        IsAbsolutePath(s.text);
        CheckWide(TextOf(s));
        break;
    }
    }
    CheckShape(s);
    CheckShape(other);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // LongPathForm makes relative paths full from the current directory.
    static const bool sandbox = (fuzz_win32::ResetSandbox(), true);
    (void)sandbox;
    FuzzedDataProvider in(data, size);
    String s;
    const std::string text = in.ConsumeRandomLengthString(512);
    s.Assign(text.data(), in.ConsumeBool() ? -1 : int32_t(text.size()));
    String other;
    // Nothing here comes near the sizes at which growth fails: any
    // exception escapes and is a finding.
    for (int i = 0; i < 64 && in.remaining_bytes() > 0; ++i)
        Step(s, other, in);
    return 0;
}
