#include "paths/folder_listing.h"

namespace {

bool IsDots(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The errors that mean "nothing (more) matches" rather than a failure.
DWORD Failure(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? 0 : error;
}

}  // namespace

FolderListing::FolderListing(const std::wstring& pattern)
    : pattern_(pattern), found_(), started_(false), error_(0)
{
}

FolderListing::~FolderListing() {}

bool FolderListing::Next()
{
    for (;;) {
        if (!started_) {
            started_ = true;
            handle_.Reset(FindFirstFileW(pattern_.c_str(), &found_));
            if (!handle_.Valid()) {
                error_ = Failure(GetLastError());
                return false;
            }
        } else if (!handle_.Valid()) {
            return false;
        } else if (!FindNextFileW(handle_.Get(), &found_)) {
            error_ = Failure(GetLastError());
            handle_.Reset();
            return false;
        }
        if (!IsDots(found_.cFileName))
            return true;
    }
}
