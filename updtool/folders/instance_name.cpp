#include "updtool/folders/instance_name.h"

#include "base/owned.h"
#include "base/text_932.h"

InstanceNameProbe::InstanceNameProbe() : created(false), running(false), error(0) {}

InstanceNameProbe::~InstanceNameProbe() {}

void InstanceNameProbe::Probe(const char* name)
{
    SetLastError(0);
    // Held for the moment the probe needs it.
    const Handle event(CreateEventW(nullptr, TRUE, TRUE, WideFrom932(name).c_str()));
    error = GetLastError();
    created = event.Valid();
    running = created && error == ERROR_ALREADY_EXISTS;
    if (created && !running)
        error = 0;
}
