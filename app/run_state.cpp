#include "app/run_state.h"

UpdateSettings updateSettings;
String destination;
