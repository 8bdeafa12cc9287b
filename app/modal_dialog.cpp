#include "app/modal_dialog.h"

#include <cstdint>
#include <exception>
#include "base/text_932.h"

namespace {
// One thread shows the dialogs, and a nested dialog ends before its owner.
std::exception_ptr heldFailure;
}

ModalDialog::ModalDialog(int templateId, DLGPROC dialogProc)
    : window(nullptr), templateId(templateId), instance(nullptr), parent(nullptr),
      dialogProc(dialogProc), ownsWindow(false)
{
}

ModalDialog::~ModalDialog()
{
    if (ownsWindow && window)
        DestroyWindow(window);
}

INT_PTR ModalDialog::ShowModal()
{
    // The modal loop destroys its own window.
    ownsWindow = false;
    // The -W call shows the template's UTF-16 texts as they are on every
    // system; the -A one turns them into the system's code page.
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent,
                                           dialogProc, reinterpret_cast<LPARAM>(this));
    if (heldFailure) {
        std::exception_ptr failure = heldFailure;
        heldFailure = nullptr;
        std::rethrow_exception(failure);
    }
    return result;
}

void ModalDialog::GetItemText(int controlId, std::wstring& text)
{
    const int length = GetWindowTextLengthW(GetDlgItem(window, controlId));
    if (length <= 0)
        return;
    std::wstring item(size_t(length) + 1, L'\0');
    item.resize(size_t(GetDlgItemTextW(window, controlId, &item[0], length + 1)));
    if (item.empty())
        return;
    const uint32_t kMaxBytes = 1087;
    uint32_t bytes = 0;
    size_t kept = 0;
    for (; kept < item.size(); ++kept) {
        const int width = item[kept] < 0x80 ? 1
                                            : WideCharToMultiByte(kProductCodePage, 0, &item[kept],
                                                                  1, nullptr, 0, nullptr, nullptr);
        if (bytes + uint32_t(width > 0 ? width : 1) > kMaxBytes)
            break;
        bytes += uint32_t(width > 0 ? width : 1);
    }
    text = item.substr(0, kept);
}

void ModalDialog::HoldFailure(HWND window)
{
    if (!heldFailure)
        heldFailure = std::current_exception();
    EndDialog(window, -1);
}
