#include "base/message_box.h"

#include "base/text_932.h"

int ShowMessageBox(const std::wstring& text, const char* caption, UINT style)
{
    const std::wstring wideCaption = WideFrom932(caption ? caption : "エラー");
    return MessageBoxW(nullptr, text.c_str(), wideCaption.c_str(), style | MB_TOPMOST);
}
