#include "updtool/text_conversion.h"

#include <windows.h>

namespace {

std::wstring Widen(unsigned codePage, DWORD flags, const char* text, int length, bool& ok)
{
    ok = true;
    if (length == 0)
        return std::wstring();
    const int count = MultiByteToWideChar(codePage, flags, text, length, nullptr, 0);
    if (count <= 0) {
        ok = false;
        return std::wstring();
    }
    std::wstring wide(size_t(count), L'\0');
    MultiByteToWideChar(codePage, flags, text, length, &wide[0], count);
    return wide;
}

}  // namespace

bool NameToWide(const char* name, uint32_t length, std::wstring& wide)
{
    bool ok = false;
    wide = Widen(kNameCodePage, MB_ERR_INVALID_CHARS, name, int(length), ok);
    return ok;
}

bool NameFromWide(const std::wstring& wide, std::string& name)
{
    name.clear();
    if (wide.empty())
        return true;
    BOOL defaulted = FALSE;
    const int count = WideCharToMultiByte(kNameCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                          int(wide.size()), nullptr, 0, nullptr, &defaulted);
    if (count <= 0 || defaulted)
        return false;
    name.resize(size_t(count));
    WideCharToMultiByte(kNameCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()),
                        &name[0], count, nullptr, &defaulted);
    return !defaulted;
}

void AppendNameUtf8(std::string& out, const char* name, uint32_t length)
{
    // Most names are ASCII, which both code pages share byte for byte; a
    // listing of many thousands of entries then costs no conversion.
    uint32_t i = 0;
    while (i < length && static_cast<unsigned char>(name[i]) < 0x80)
        ++i;
    if (i == length) {
        out.append(name, length);
        return;
    }
    bool ok = false;
    out += Utf8FromWide(Widen(kNameCodePage, 0, name, int(length), ok));
}

std::string NameUtf8(const std::string& name)
{
    std::string out;
    AppendNameUtf8(out, name.data(), uint32_t(name.size()));
    return out;
}

std::wstring WideFromAnsi(const std::string& text)
{
    bool ok = false;
    return Widen(CP_ACP, 0, text.data(), int(text.size()), ok);
}

std::string Utf8FromWide(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
    if (count <= 0)
        return std::string();
    std::string utf8(size_t(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], count, nullptr,
                        nullptr);
    return utf8;
}
