#include "QVWizard.h"

QVWizard::QVWizard(ClientSettings &settings) : PropertySheet("Ferrowin Client Wizard", true), end_(settings)
{
    AddPage(&startup_);
    AddPage(&end_);
}

void QVWizard::OnInitialized()
{
    if (setup)
        SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

namespace {

// Asks the first page to caption the sheet once the sheet has captioned itself after the page.
const UINT WM_SET_CAPTION = WM_APP + 1;

}

bool QVWizardStartup::OnSetActive()
{
    PostMessageA(hwnd_, WM_SET_CAPTION, 0, 0);
    PostMessageA(SheetHandle(), PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT);
    return true;
}

INT_PTR QVWizardStartup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SET_CAPTION)
        return PropertyPage::OnMessage(message, wParam, lParam);
    SetWindowTextA(SheetHandle(), "Ferrowin Client Setup Wizard");
    return TRUE;
}

bool QVWizardEnd::OnSetActive()
{
    PostMessageA(SheetHandle(), PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
    return true;
}

bool QVWizardEnd::OnWizardFinish()
{
    settings_.SavePendingChanges();
    return true;
}
