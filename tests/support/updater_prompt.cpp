// Linked into the test programs of the file layer and what builds on it:
// they run with the updater's own open-failure prompt installed, as the
// updater runs, so a failed open shows the real box for the test to answer.
// A test of the quiet default sets the handler to null for its own time.

#include "app/open_failure_prompt.h"
#include "paths/open_failure.h"

namespace {

const bool installed = (openFailureHandler = PromptOpenFailure, true);

}  // namespace
