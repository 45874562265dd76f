// The About box: icon, product name and version (from the program's own version information
// unless given), build date and an optional link.
#ifndef CLIENT_GUI_ABOUTDIALOG_H
#define CLIENT_GUI_ABOUTDIALOG_H

#include <windows.h>

#include <string>

#include "Dialog.h"
#include "LinkLabel.h"

class AboutDialog : public Dialog {
public:
    AboutDialog();

    void SetIcon(HICON icon) { icon_ = icon; }
    void SetProductName(const std::string &name) { productName_ = name; }
    // The whole "<product> version <x.y.z>" line; when empty it is made from the version information.
    void SetProductLine(const std::string &line) { productLine_ = line; }
    void SetLinkText(const std::string &text) { linkText_ = text; }
    void SetBuildDate(const std::string &date) { buildDate_ = date; }

protected:
    BOOL OnInitDialog() override;

private:
    void ReadVersionInformation();

    HICON icon_ = nullptr;
    std::string productName_;
    int version_[4] = {};
    std::string productLine_;
    std::string linkText_;
    std::string buildDate_;
    LinkLabel link_;
};

#endif
