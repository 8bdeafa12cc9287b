#include "updtool/instance_name.h"

namespace {

// Owns the probe's event for the moment it exists.
class EventHandle {
public:
    HANDLE handle;

    explicit EventHandle(HANDLE handle) : handle(handle) {}
    EventHandle(const EventHandle&) = delete;
    EventHandle& operator=(const EventHandle&) = delete;
    virtual ~EventHandle()
    {
        if (handle)
            CloseHandle(handle);
    }
};

}  // namespace

InstanceNameProbe::InstanceNameProbe() : created(false), running(false), error(0) {}

InstanceNameProbe::~InstanceNameProbe() {}

void InstanceNameProbe::Probe(const char* name)
{
    SetLastError(0);
    EventHandle event(CreateEventA(nullptr, TRUE, TRUE, name));
    error = GetLastError();
    created = event.handle != nullptr;
    running = created && error == ERROR_ALREADY_EXISTS;
    if (created && !running)
        error = 0;
}
