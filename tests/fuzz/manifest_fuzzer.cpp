// update.manifest read as the updater reads it. A manifest that reads is
// written back by the tool's writer to a text that reads again to the same
// text; the line at fault is always one the input has, or the one after.

#include <string>
#include "tests/fuzz/fuzz_checks.h"
#include "trust/update_manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    UpdateManifest manifest;
    size_t badLine = 0;
    if (!ParseManifest(text, size, manifest, &badLine)) {
        size_t lines = 1;
        for (size_t i = 0; i < size; ++i)
            lines += text[i] == '\n';
        FUZZ_CHECK(badLine >= 1 && badLine <= lines + 1);
        return 0;
    }
    FUZZ_CHECK(manifest.sequence >= 1 && !manifest.product.empty() && !manifest.version.empty());
    for (size_t i = 0; i < manifest.files.size(); ++i)
        FUZZ_CHECK(manifest.Find(manifest.files[i].item) == &manifest.files[i]);
    const std::string written = ManifestText(manifest);
    UpdateManifest again;
    FUZZ_CHECK(ParseManifest(written.data(), written.size(), again));
    FUZZ_CHECK(ManifestText(again) == written);
    // Only key digits may change case on the way: the rest is the input.
    FUZZ_CHECK(written.size() == size);
    return 0;
}
