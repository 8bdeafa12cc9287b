#pragma once
// The values of one run, alive for the whole process.

#include <vector>
#include "base/string.h"

class UpdateSettings {
public:
    String brand;
    String name;
    String title;
    String version;
    std::vector<String> files;

    UpdateSettings();
    virtual ~UpdateSettings();

    // The initial values: "Quillmark", "Installer", "アップデート", "1.01", no files.
    void SetDefaults();
};

extern UpdateSettings updateSettings;
// The destination (install) folder: proposed from the registry, confirmed in
// the dialog.
extern String destination;
