#include "updtool/console/text_conversion.h"

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

// Converts text character by character: one that converts is kept, a byte
// that is none shown by its value; controls escaped when asked.
std::string Piecewise(const std::string& text, bool escapeControls)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        if (c < 0x80) {
            out += c < 0x20 && escapeControls ? ByteShown(c) : std::string(1, char(c));
            ++i;
            continue;
        }
        // A lead byte whose pair is no character shows alone; the byte after
        // it is looked at again for itself.
        const size_t width = IsLeadByte(c) && i + 1 < text.size() ? 2 : 1;
        std::wstring wide;
        if (WideFrom932Exactly(text.data() + i, width, wide)) {
            out += Utf8(wide);
            i += width;
        } else {
            out += ByteShown(c);
            ++i;
        }
    }
    return out;
}

std::string Shown(const std::string& text, bool escapeControls)
{
    const bool control = escapeControls && std::any_of(text.begin(), text.end(), [](char c) {
                             return static_cast<unsigned char>(c) < 0x20;
                         });
    std::wstring wide;
    if (!control && WideFrom932Exactly(text.data(), text.size(), wide))
        return Utf8(wide);
    return Piecewise(text, escapeControls);
}

}  // namespace

// Each conversion asks the system once, into room for the longest result:
// a listing converts a name per entry.
std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    std::string utf8(text.size() * 3, '\0');
    const int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0],
                                          int(utf8.size()), nullptr, nullptr);
    utf8.resize(count > 0 ? size_t(count) : 0);
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
