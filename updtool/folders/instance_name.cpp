#include "updtool/folders/instance_name.h"

#include "base/owned.h"
#include "base/text_932.h"

DWORD ProbeInstanceName(const char* name)
{
    SetLastError(0);
    const Handle event(CreateEventW(nullptr, TRUE, TRUE, WideFrom932(name).c_str()));
    const DWORD error = GetLastError();
    return event.Valid() && error != ERROR_ALREADY_EXISTS ? 0 : error;
}
