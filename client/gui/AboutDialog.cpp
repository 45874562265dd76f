#include "AboutDialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "Controls.h"
#include "resource.h"

namespace {

// One string of the version information block under its first translation; empty when missing.
std::string VersionString(const std::vector<char> &block, const char *name)
{
    DWORD *translation = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                        &size) ||
        size < sizeof(DWORD))
        return std::string();
    char path[64];
    snprintf(path, sizeof path, "\\StringFileInfo\\%08lx\\%s",
             static_cast<unsigned long>(MAKELONG(HIWORD(*translation), LOWORD(*translation))), name);
    char *value = nullptr;
    if (!VerQueryValueA(block.data(), path, reinterpret_cast<void **>(&value), &size) || !size)
        return std::string();
    return std::string(value);
}

}

AboutDialog::AboutDialog() : Dialog(MAKEINTRESOURCEA(IDD_ABOUT))
{
}

void AboutDialog::ReadVersionInformation()
{
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(program, &handle);
    std::vector<char> block(size);
    if (!size || !GetFileVersionInfoA(program, 0, size, block.data()))
        block.clear();
    productName_ = block.empty() ? std::string() : VersionString(block, "ProductName");
    std::string fileVersion = block.empty() ? std::string() : VersionString(block, "FileVersion");

    // "1, 0, 0, 11": four decimal numbers between commas.
    const char *part = fileVersion.c_str();
    for (int i = 0; i < 4; i++) {
        version_[i] = atoi(part);
        const char *comma = strchr(part, ',');
        part = comma ? comma + 1 : part + strlen(part);
    }
    char line[32];
    snprintf(line, sizeof line, "%d.%d.%d", version_[0], version_[1], version_[2]);
    productLine_ = productName_ + " version " + line;
}

BOOL AboutDialog::OnInitDialog()
{
    if (productLine_.empty())
        ReadVersionInformation();
    CtlSetText(hwnd_, IDC_ABOUT_PRODUCT, productLine_);
    CtlSetText(hwnd_, IDC_ABOUT_DATE, buildDate_);
    SetWindowTextA(hwnd_, ("About " + productName_).c_str());
    if (!linkText_.empty()) {
        CtlSetText(hwnd_, IDC_ABOUT_LINK, linkText_);
        link_.Attach(Item(IDC_ABOUT_LINK));
        link_.SetLink(true).SetTextColour(RGB(0, 0, 255)).SetUnderline(true).SetCursor(IDC_LINK_CURSOR);
    }
    SendDlgItemMessageA(hwnd_, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    return TRUE;
}
