#include "PropertyPage.h"

PropertyPage::PropertyPage(LPCSTR templateId, const char *caption)
    : Dialog(templateId), caption_(caption ? caption : ""), hasCaption_(caption != nullptr)
{
}

HPROPSHEETPAGE PropertyPage::CreatePage()
{
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.dwFlags = hasCaption_ ? PSP_USETITLE : 0;
    page.hInstance = GetModuleHandleA(nullptr);
    page.pszTemplate = template_;
    page.pszTitle = caption_.c_str();
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageA(&page);
}

void PropertyPage::SetModified(bool modified)
{
    if (!hwnd_)
        return;
    SendMessageA(SheetHandle(), modified ? PSM_CHANGED : PSM_UNCHANGED,
                 reinterpret_cast<WPARAM>(hwnd_), 0);
}

INT_PTR CALLBACK PropertyPage::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog *self = message == WM_INITDIALOG
                       ? reinterpret_cast<Dialog *>(reinterpret_cast<PROPSHEETPAGEA *>(lParam)->lParam)
                       : reinterpret_cast<Dialog *>(GetWindowLongPtrA(hwnd, DWLP_USER));
    return Dispatch(self, hwnd, message, wParam, lParam);
}

INT_PTR PropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // OK and Cancel belong to the sheet; a page never ends a dialog of its own.
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        return FALSE;
    return Dialog::OnMessage(message, wParam, lParam);
}

bool PropertyPage::OnNotify(NMHDR *header, LRESULT &result)
{
    if (header->hwndFrom != SheetHandle())
        return false;
    switch (header->code) {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        return true;
    case PSN_KILLACTIVE:
        result = !OnKillActive();
        return true;
    case PSN_APPLY:
        result = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        return true;
    case PSN_RESET:
        OnReset();
        return true;
    case PSN_WIZBACK:
        result = OnWizardBack();
        return true;
    case PSN_WIZNEXT:
        result = OnWizardNext();
        return true;
    case PSN_WIZFINISH:
        result = !OnWizardFinish();
        return true;
    default:
        return false;
    }
}
