#include "paths/open_failure.h"

OpenFailureHandler openFailureHandler = nullptr;

bool HandleOpenFailure(const std::wstring& path)
{
    return openFailureHandler != nullptr && openFailureHandler(path);
}
