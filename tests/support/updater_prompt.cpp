// Linked into the test programs of the file layer and what builds on it:
// they run with the updater's own open-failure prompt, as the updater runs,
// so a failed open shows the real box for the test to answer. A test of the
// quiet default turns the prompt off for its own time.

#include "paths/open_failure.h"

namespace {

const bool installed = (openFailurePrompt.asks = true);

}  // namespace
