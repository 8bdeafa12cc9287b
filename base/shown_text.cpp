#include "base/shown_text.h"

#include <windows.h>
#include <algorithm>
#include "base/hex_digits.h"
#include "base/multibyte.h"
#include "base/text_932.h"

namespace {

// How a control character, or a byte that is no character, is shown.
std::string ByteShown(unsigned char c)
{
    if (c == '\r' || c == '\n' || c == '\t')
        return c == '\r' ? "<CR>" : c == '\n' ? "<LF>" : "<TAB>";
    return "<" + Utf8(HexDigits(c, 2)) + ">";
}

// Valid text converts in one call (a listing converts a name per entry);
// other text character by character, each byte that is no character shown
// by its value, controls escaped when asked.
std::string Shown(const std::string& text, bool escapeControls)
{
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20; };
    std::wstring wide;
    if (!(escapeControls && std::any_of(text.begin(), text.end(), isControl)) &&
        WideFrom932Exactly(text.data(), text.size(), wide))
        return Utf8(wide);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = text[i];
        // A lead byte whose pair is no character shows alone; the byte after
        // it is looked at again for itself.
        const size_t width = IsLeadByte(c) && i + 1 < text.size() ? 2 : 1;
        if (c < 0x80 && !(escapeControls && isControl(char(c)))) {
            out += char(c);
        } else if (c >= 0x80 && WideFrom932Exactly(text.data() + i, width, wide)) {
            out += Utf8(wide);
            i += width - 1;
        } else {
            out += ByteShown(c);
        }
    }
    return out;
}

}  // namespace

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(size > 0 ? size_t(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], size, nullptr,
                            nullptr);
    return utf8;
}

std::string Utf8From932(const std::string& text)
{
    return Shown(text, false);
}

std::string ShownName(const std::string& name)
{
    return Shown(name, true);
}

std::string Quoted(const std::string& text932)
{
    return "\"" + ShownName(text932) + "\"";
}

std::string Quoted(const String& text932)
{
    return Quoted(std::string(TextOf(text932)));
}

std::string Plural(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}
