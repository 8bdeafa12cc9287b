#include "update/instance_event.h"

#include "base/text_932.h"

DWORD CreateInstanceEvent(const String& name, Handle& event)
{
    SetLastError(0);
    event.Reset(CreateEventW(nullptr, TRUE, TRUE, WideFrom932(name).c_str()));
    const DWORD error = GetLastError();
    return event.Valid() && error != ERROR_ALREADY_EXISTS ? 0 : error;
}
