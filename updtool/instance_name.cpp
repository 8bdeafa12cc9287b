#include "updtool/instance_name.h"

#include "base/owned.h"

InstanceNameProbe::InstanceNameProbe() : created(false), running(false), error(0) {}

InstanceNameProbe::~InstanceNameProbe() {}

void InstanceNameProbe::Probe(const char* name)
{
    SetLastError(0);
    // Held for the moment the probe needs it.
    const Handle event(CreateEventA(nullptr, TRUE, TRUE, name));
    error = GetLastError();
    created = event.Valid();
    running = created && error == ERROR_ALREADY_EXISTS;
    if (created && !running)
        error = 0;
}
