#include "updtool/archives/entry_name_rule.h"

#include "paths/device_name.h"
#include "base/shown_text.h"
#include "base/text_932.h"

namespace {

std::string PartRefusal(const std::wstring& part)
{
    if (part.empty())
        return "has an empty folder part";
    if (part == L"." || part == L"..")
        return "has a \"" + Utf8(part) + "\" part";
    if (part.back() == L'.' || part.back() == L' ')
        return "has a part ending in a dot or space, which Windows drops";
    if (NamesDevice(part))
        return "names the device " + Utf8(part.substr(0, part.find(L'.')));
    return std::string();
}

}  // namespace

std::string EntryNameRefusal(const std::string& name)
{
    if (name.empty())
        return "is empty";
    if (name.find('\0') != std::string::npos)
        return "holds a NUL byte";
    std::wstring wide;
    if (!WideFrom932Exactly(name.data(), uint32_t(name.size()), wide))
        return "is not valid code page 932 text";
    if (wide[0] == L'\\')
        return "is absolute";
    // "C:\x" and "C:" name a drive; any other ':' ("a:b.txt") is refused
    // below as the stream it would name.
    if (wide.size() >= 2 && wide[1] == L':' && (wide[0] | 0x20) >= L'a' && (wide[0] | 0x20) <= L'z' &&
        (wide.size() == 2 || wide[2] == L'\\'))
        return "names a drive";
    for (wchar_t c : wide) {
        if (c == L':')
            return "holds \":\", which names an alternate data stream";
        if (c == L'/')
            return "holds \"/\", which Windows reads as a folder separator";
        if (c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*')
            return "holds a character Windows does not allow in names";
    }
    size_t start = 0;
    for (;;) {
        const size_t end = wide.find(L'\\', start);
        const std::string refusal = PartRefusal(wide.substr(start, end - start));
        if (!refusal.empty())
            return refusal;
        if (end == std::wstring::npos)
            return std::string();
        start = end + 1;
    }
}
