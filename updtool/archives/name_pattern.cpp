#include "updtool/archives/name_pattern.h"

#include "base/text_932.h"

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

int PatternsOf(const char* command, const CommandLine& line, const char* option,
               std::vector<std::string>& patterns)
{
    for (const std::wstring& pattern : line.Values(option)) {
        patterns.emplace_back();
        if (!ExactlyTo932(PathArgument(pattern), patterns.back()))
            return UsageError(command, std::string(option) + " " + Shown(pattern) +
                                           " has characters that no entry name can hold");
    }
    return ExitOk;
}
