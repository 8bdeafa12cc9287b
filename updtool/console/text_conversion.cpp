#include "updtool/console/text_conversion.h"

#include <windows.h>
#include "base/multibyte.h"
#include "base/text_932.h"

namespace {

const char kHex[] = "0123456789ABCDEF";

void AppendByte(std::string& out, unsigned char c)
{
    out += '<';
    out += kHex[c >> 4];
    out += kHex[c & 15];
    out += '>';
}

// Converts text character by character: one that converts is kept, a byte
// that is none shown by its value; controls escaped when asked.
std::string Piecewise(const char* text, uint32_t length, bool escapeControls)
{
    std::string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    for (uint32_t i = 0; i < length;) {
        const unsigned char c = p[i];
        if (c < 0x20 && escapeControls) {
            switch (c) {
            case '\r': out += "<CR>"; break;
            case '\n': out += "<LF>"; break;
            case '\t': out += "<TAB>"; break;
            default: AppendByte(out, c);
            }
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += char(c);
            ++i;
            continue;
        }
        // A lead byte whose pair is no character shows alone; the byte after
        // it is looked at again for itself.
        const uint32_t width = IsLeadByte(c) && i + 1 < length ? 2 : 1;
        std::wstring wide;
        if (WideFrom932Exactly(text + i, width, wide)) {
            out += Utf8(wide);
            i += width;
        } else {
            AppendByte(out, c);
            ++i;
        }
    }
    return out;
}

bool HasControl(const char* text, uint32_t length)
{
    for (uint32_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) < 0x20)
            return true;
    return false;
}

std::string Shown(const char* text, uint32_t length, bool escapeControls)
{
    std::wstring wide;
    if ((!escapeControls || !HasControl(text, length)) && WideFrom932Exactly(text, length, wide))
        return Utf8(wide);
    return Piecewise(text, length, escapeControls);
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

std::string Utf8From932(const char* text, uint32_t length)
{
    return Shown(text, length, false);
}

std::string Utf8From932(const std::string& text)
{
    return Utf8From932(text.data(), uint32_t(text.size()));
}

std::string ShownName(const char* name, uint32_t length)
{
    return Shown(name, length, true);
}

std::string ShownName(const std::string& name)
{
    return ShownName(name.data(), uint32_t(name.size()));
}
