#include "ProxyPropertiesDialog.h"

#include "Controls.h"
#include "pages_resource.h"

ProxyPropertiesDialog::ProxyPropertiesDialog() : Dialog(MAKEINTRESOURCEA(IDD_PROXY_PROPERTIES))
{
}

BOOL ProxyPropertiesDialog::OnInitDialog()
{
    CtlSetText(hwnd_, IDC_DEST_NAME, destination);
    CtlSetText(hwnd_, IDC_DEST_PORT, destPort);
    CtlSetText(hwnd_, IDC_SERVER_NAME, serverName);
    CtlSetText(hwnd_, IDC_SERVER_PORT, serverPort);
    CheckRadioButton(hwnd_, IDC_KIND_DIRECT, IDC_KIND_SOCKS5, kind == kDirect ? IDC_KIND_DIRECT : IDC_KIND_SOCKS5);
    EnableServerFields();
    return TRUE;
}

bool ProxyPropertiesDialog::OnCommand(int id, int code, HWND control)
{
    if (code == BN_CLICKED && (id == IDC_KIND_DIRECT || id == IDC_KIND_SOCKS5)) {
        EnableServerFields();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void ProxyPropertiesDialog::EnableServerFields()
{
    bool socks = !CtlIsChecked(hwnd_, IDC_KIND_DIRECT);
    CtlEnable(hwnd_, IDC_SERVER_NAME, socks);
    CtlEnable(hwnd_, IDC_SERVER_PORT, socks);
}

void ProxyPropertiesDialog::OnOK()
{
    destination = CtlGetText(hwnd_, IDC_DEST_NAME);
    destPort = CtlGetText(hwnd_, IDC_DEST_PORT);
    serverName = CtlGetText(hwnd_, IDC_SERVER_NAME);
    serverPort = CtlGetText(hwnd_, IDC_SERVER_PORT);
    kind = CtlIsChecked(hwnd_, IDC_KIND_DIRECT) ? kDirect : kSocks;
    accepted = true;
    EndDialog(IDOK);
}
