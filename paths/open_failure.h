#pragma once
// What a failed open does is the program's choice, not the file layer's: the
// updater asks the user, the publisher's tool fails quietly. The file layer
// calls through this one pointer and shows nothing itself.

#include <string>

// Called with the path that could not be opened, the system's error still
// set. Returns true to try again, false to give up; may raise to abort.
typedef bool (*OpenFailureHandler)(const std::wstring& path);

// Process-wide. Null (the default): a failed open fails without asking.
extern OpenFailureHandler openFailureHandler;

// What the handler says about path; false when none is set.
bool HandleOpenFailure(const std::wstring& path);
