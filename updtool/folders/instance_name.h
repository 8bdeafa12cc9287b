#pragma once
// Whether the Name setting can name the updater's instance event, found out
// the way the updater does: by creating the event (closed again at once).

#include <windows.h>

class InstanceNameProbe {
public:
    bool created;     // the updater's creation would succeed
    bool running;     // an object of that name exists now: a start now ends at once
    DWORD error;      // the platform's error when creation failed

    InstanceNameProbe();
    virtual ~InstanceNameProbe();

    // Creates and closes the event named name (code page 932; default
    // security, manual reset, signalled, as the updater asks).
    void Probe(const char* name);
};
