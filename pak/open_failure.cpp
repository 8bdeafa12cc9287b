#include "pak/open_failure.h"

OpenFailureHandler openFailureHandler = nullptr;

bool HandleOpenFailure(const char* path)
{
    return openFailureHandler != nullptr && openFailureHandler(path);
}
