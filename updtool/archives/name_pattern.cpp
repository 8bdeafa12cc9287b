#include "updtool/archives/name_pattern.h"

#include "base/text_932.h"
#include "updtool/console/command_line.h"

namespace {

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

NamePatterns::NamePatterns(const std::vector<std::string>& patterns)
{
    for (const std::string& pattern : patterns)
        patterns_.push_back(LookupKeyOf(pattern));
}

NamePatterns::~NamePatterns() {}

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
