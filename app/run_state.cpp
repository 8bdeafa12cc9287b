#include "app/run_state.h"

UpdateSettings updateSettings;
std::wstring destination;

void FormatCaption(String& caption)
{
    caption.Format("%s Version %s アップデート", TextOf(updateSettings.title),
                   TextOf(updateSettings.version));
}
