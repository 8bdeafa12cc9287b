#pragma once
// Before the first write: which targets a running program holds, and which
// programs. Each existing target of an item to be applied is opened as its
// replacement will need it; the programs named are those running from the
// install folder (a scan of the running processes) and those Restart
// Manager says hold one (where it answers: under Wine it names none).

#include <string>
#include <vector>
#include "paths/item_record.h"

class HeldTargets {
public:
    std::vector<std::wstring> files;     // the targets held
    std::vector<std::wstring> programs;  // the programs' file names

    virtual ~HeldTargets() {}
};

HeldTargets FindHeldTargets(const std::vector<ItemRecord>& records, const std::wstring& installFolder);
