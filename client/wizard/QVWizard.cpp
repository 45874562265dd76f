#include "QVWizard.h"

namespace {

// Page positions in a set-up by hand.
const int kServerPosition = 1;
const int kProxyPosition = 2;
const int kAuthPosition = 3;
const int kApplicationsPosition = 4;

}

QVWizard::QVWizard(ClientSettings &settings)
    : PropertySheet("Ferrowin Client Wizard", true), settings_(settings), startup_(settings), proxy_(settings),
      singleProxy_(settings), applications_(settings), end_(*this)
{
    startup_.step = {this, 0, nullptr};
    startup_.serverPage = &server_;
    startup_.endPage = &end_;
    server_.step = {this, kServerPosition, nullptr};
    server_.proxyPage = &proxy_;
    server_.singleProxyPage = &singleProxy_;
    proxy_.wizard = {this, kProxyPosition, &auth_};
    singleProxy_.wizard = {this, kProxyPosition, &auth_};
    auth_.step = {this, kAuthPosition, &applications_};
    applications_.wizard = {this, kApplicationsPosition, &end_};
    AddPage(&startup_);
}

void QVWizard::OnInitialized()
{
    if (!setup)
        return;
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    settings_.RefreshSystemList();
}

bool QVWizard::Finish()
{
    for (int index = 0; index < PageCount(); index++)
        if (!ApplyPage(index)) {
            // Posted: the sheet is still busy with the Finish button.
            PostMessageA(Handle(), PSM_SETCURSEL, index, 0);
            return false;
        }
    settings_.SavePendingChanges();
    return true;
}

bool QVWizardEnd::OnSetActive()
{
    SetModified();
    PostMessageA(SheetHandle(), PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
    return true;
}

bool QVWizardEnd::OnWizardFinish()
{
    return wizard_.Finish();
}
