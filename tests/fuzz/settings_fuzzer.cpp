// update.ini read key by key as the updater reads it. Input: one byte that
// says where the file lies ('0' plain, '1' raw in a version-0 archive, '2'
// compressed in a version-2 archive, by its value modulo 3), then the file.

#include <string>
#include "base/multibyte.h"
#include "pak/archive_search.h"
#include "tests/fuzz/fuzz_checks.h"
#include "tests/support/archive_writer.h"
#include "settings/settings_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string ini(reinterpret_cast<const char*>(data) + 1, size - 1);
    fuzz_win32::ResetSandbox();
    if (data[0] % 3 == 0) {
        fuzz_win32::PutFile("update.ini", ini.data(), ini.size());
    } else {
        PakSpec spec;
        spec.version = data[0] % 3 == 1 ? 0 : 2;
        spec.entries.push_back(PakEntry{"update.ini", ini, spec.version == 2, {}, {}, {}, {}, {}, {}});
        const std::string pak = BuildPak(spec);
        fuzz_win32::PutFile("data.pak", pak.data(), pak.size());
    }

    for (const char* key : {"Brand", "Name", "Title", "Version", "file"}) {
        String value;
        value.Assign("=");  // no value found can begin with "="
        ReadSetting("update", key, value, "update.ini");
        if (value.text[0] == '=') {
            FUZZ_CHECK(value.text[1] == '\0');  // untouched
            continue;
        }
        // A value is never empty, begins with neither space nor "=", and
        // holds no tab (stepping by characters, as the reader does).
        FUZZ_CHECK(value.text[0] != '\0' && value.text[0] != ' ');
        for (const char* p = value.text; *p != '\0'; p = NextChar(p))
            FUZZ_CHECK(CharLength(p) == 2 || *p != '\t');
        // The file list, item by item, as the updater looks for each.
        String item;
        while (value.NextToken(item, ";")) {
            FUZZ_CHECK(!item.IsEmpty());
            PathExists(item.text);
        }
    }
    FUZZ_CHECK(fuzz_win32::boxCount == 0);  // the file is always there
    return 0;
}
