#include "updtool/archives/entry_names.h"

#include <algorithm>
#include "base/shown_text.h"
#include "base/text_932.h"
#include "paths/device_name.h"
#include "updtool/console/command_line.h"

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

bool WildcardMatches(const LookupKey& pattern, const LookupKey& name)
{
    // Greedy, going back only to the last star: linear in practice, and
    // never worse than pattern length times name length.
    size_t p = 0, n = 0;
    size_t star = LookupKey::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (star != LookupKey::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
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

LookupOrder::LookupOrder(const std::vector<std::string>& names)
{
    for (size_t i = 0; i < names.size(); ++i) {
        keys.push_back(LookupKeyOf(names[i]));
        order.push_back(i);
    }
    // Names with equal keys stay in the order given, so the result depends
    // on the names alone (which of two such names pack cannot store).
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    // A name that begins a later one begins every name between them: only
    // neighbours need comparing.
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        const size_t a = order[i], b = order[i + 1];
        if (keys[a] == keys[b])
            sameName.emplace_back(a, b);
        else if (KeyBegins(keys[a], keys[b]))
            begins.emplace_back(a, b);
    }
}

NamePatterns::NamePatterns(const std::vector<std::string>& patterns)
{
    for (const std::string& pattern : patterns)
        patterns_.push_back(LookupKeyOf(pattern));
}

bool NamePatterns::Matches(const LookupKey& name) const
{
    for (const LookupKey& pattern : patterns_)
        if (WildcardMatches(pattern, name))
            return true;
    return false;
}

int EntryTexts(const char* command, const std::vector<std::wstring>& values, const char* option,
               std::vector<std::string>& texts)
{
    for (const std::wstring& value : values) {
        texts.emplace_back();
        if (!ExactlyTo932(PathArgument(value), texts.back()))
            return UsageError(command, (option ? std::string(option) + " " : std::string()) +
                                           Shown(value) + " has characters that no entry name can hold");
    }
    return ExitOk;
}
