#pragma once
// A failed system call told in words, for the publisher's tool and the words
// both programs give a decision.

#include <windows.h>
#include <string>

// "what: why in words (error N)" for a failed platform call on path (which
// may be empty); read code right after the call.
std::string SystemErrorText(const std::string& what, DWORD code, const std::wstring& path = L"");
