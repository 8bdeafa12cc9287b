#include "base/text_932.h"

#include <windows.h>
#include <cstring>

std::wstring WideFrom932(const char* text, int32_t length)
{
    if (text == nullptr)
        return std::wstring();
    if (length < 0)
        length = int32_t(std::strlen(text));
    if (length == 0)
        return std::wstring();
    const int count = MultiByteToWideChar(kProductCodePage, 0, text, length, nullptr, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring wide(size_t(count), L'\0');
    MultiByteToWideChar(kProductCodePage, 0, text, length, &wide[0], count);
    return wide;
}

std::wstring WideFrom932(const String& text)
{
    return WideFrom932(TextOf(text));
}

namespace {

bool Narrow(const std::wstring& text, String& out, DWORD flags, bool exact)
{
    if (text.empty()) {
        out.Assign("");
        return true;
    }
    BOOL defaulted = FALSE;
    BOOL* used = exact ? &defaulted : nullptr;
    const int count = WideCharToMultiByte(kProductCodePage, flags, text.data(), int(text.size()),
                                          nullptr, 0, nullptr, used);
    if (count <= 0 || defaulted)
        return false;
    String result(count);
    WideCharToMultiByte(kProductCodePage, flags, text.data(), int(text.size()), result.text, count,
                        nullptr, used);
    if (defaulted)
        return false;
    result.text[count] = '\0';
    result.length = int32_t(std::strlen(result.text));
    out.Assign(result);
    return true;
}

}  // namespace

bool ExactlyTo932(const std::wstring& text, String& out)
{
    return Narrow(text, out, WC_NO_BEST_FIT_CHARS, true);
}

bool ExactlyTo932(const std::wstring& text, std::string& out)
{
    String converted;
    if (text.find(L'\0') != std::wstring::npos || !ExactlyTo932(text, converted))
        return false;
    out.assign(TextOf(converted));
    return true;
}

bool WideFrom932Exactly(const char* text, size_t length, std::wstring& wide)
{
    wide.assign(length, L'\0');
    if (length == 0)
        return true;
    const int count = MultiByteToWideChar(kProductCodePage, MB_ERR_INVALID_CHARS, text, int(length),
                                          &wide[0], int(length));
    wide.resize(count > 0 ? size_t(count) : 0);
    return count > 0;
}

void ShownIn932(const std::wstring& text, String& out)
{
    if (!Narrow(text, out, 0, false))
        out.Assign("");
}

std::wstring WideSentence(const char* sentence, const std::wstring& argument)
{
    const char* mark = sentence ? std::strstr(sentence, "%s") : nullptr;
    if (mark == nullptr)
        return WideFrom932(sentence);
    return WideFrom932(sentence, int32_t(mark - sentence)) + argument + WideFrom932(mark + 2);
}
