#include "paths/open_failure.h"

#include <windows.h>
#include "base/exceptions.h"
#include "base/messages.h"
#include "base/text_932.h"
#include "system/message_box.h"
#include "system/run_log.h"

OpenFailurePrompt openFailurePrompt;

bool HandleOpenFailure(const std::wstring& path)
{
    if (!openFailurePrompt.asks)
        return false;
    // Wine's message box clears the last error; the Abort report must carry
    // the error of the failed open, so it is taken before the box.
    const DWORD error = GetLastError();
    LogFailure("opening or replacing", path, error);
    const int answer = ShowMessageBox(WideSentence(kOpenFailedText, path),
                                      "ファイルエラー", MB_ABORTRETRYIGNORE);
    if (answer == IDRETRY)
        return true;
    if (answer == IDIGNORE && !openFailurePrompt.ignoreAborts)
        return false;
    SetLastError(error ? error : ERROR_ACCESS_DENIED);
    throw OCErrorException(kOpenAbortedText, path);
}
