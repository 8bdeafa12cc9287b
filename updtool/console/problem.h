#pragma once
// What a check found: errors fail the check (exit code 1), warnings are
// printed and leave it passing. Messages are UTF-8.

#include <algorithm>
#include <string>
#include <vector>

enum Severity { SeverityError, SeverityWarning };

class Problem {
public:
    Severity severity;
    std::string message;

    Problem(Severity severity, const std::string& message) : severity(severity), message(message) {}
    virtual ~Problem() {}
};

class Problems {
public:
    std::vector<Problem> found;

    Problems() {}
    virtual ~Problems() {}

    void Error(const std::string& message) { found.emplace_back(SeverityError, message); }
    void Warning(const std::string& message) { found.emplace_back(SeverityWarning, message); }
    size_t Count(Severity severity) const
    {
        return size_t(std::count_if(found.begin(), found.end(), [&](const Problem& problem) {
            return problem.severity == severity;
        }));
    }
};

// "error" or "warning", as the reports spell them.
inline const char* SeverityName(Severity severity)
{
    return severity == SeverityError ? "error" : "warning";
}
