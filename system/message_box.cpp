#include "system/message_box.h"

#include "system/run_log.h"
#include "base/text_932.h"

// String's own box, here with the other boxes: the string type itself knows
// nothing of UTF-16.
int String::ShowMessage(HWND, const char* caption, UINT style) const
{
    return ShowMessageBox(WideFrom932(text), caption, style);
}

bool boxesUnattended = false;

namespace {

// What an unattended run answers: nothing is lost, nothing is left out.
int SafeAnswer(UINT style)
{
    switch (style & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_RETRYCANCEL:
    case MB_OKCANCEL:
    case MB_YESNOCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    default: return IDOK;
    }
}

}  // namespace

int ShowMessageBox(const std::wstring& text, const char* caption, UINT style)
{
    const std::wstring wideCaption = WideFrom932(caption ? caption : "エラー");
    LogEvent(std::string(boxesUnattended ? "message box (not shown: unattended) \"" : "message box \"") +
             LogText(wideCaption) + "\": \"" + LogText(text) + "\"");
    const int answer = boxesUnattended ? SafeAnswer(style)
                                       : MessageBoxW(nullptr, text.c_str(), wideCaption.c_str(), style | MB_TOPMOST);
    LogEvent("message box answered: " + AnswerName(answer));
    return answer;
}

std::string AnswerName(int answer)
{
    switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case 0: return "no box could be shown (" + LogError(GetLastError()) + ")";
    default: return "button " + std::to_string(answer);
    }
}
