// A page of the main sheet: works on the shared settings, can load its controls again from what
// is stored (after an import, or when the sheet rebuilds its pages), and remembers whether it
// refused the last Apply, so that the sheet knows whether it may hide.
#ifndef CLIENT_PAGES_SETTINGSPAGE_H
#define CLIENT_PAGES_SETTINGSPAGE_H

#include "ClientSettings.h"
#include "PropertyPage.h"

class SettingsPage : public PropertyPage {
public:
    // The template's caption is the page's tab text.
    SettingsPage(int templateId, ClientSettings &settings)
        : PropertyPage(MAKEINTRESOURCEA(templateId)), settings_(settings)
    {
    }

    virtual void Reload() {}

    bool refusedApply = false;

protected:
    bool OnNotify(NMHDR *header, LRESULT &result) override
    {
        bool handled = PropertyPage::OnNotify(header, result);
        if (handled && header->code == PSN_APPLY)
            refusedApply = result != PSNRET_NOERROR;
        return handled;
    }

    ClientSettings &settings_;
};

#endif
