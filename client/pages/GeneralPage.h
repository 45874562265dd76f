// The "General" page: how the client gets its configuration (set up by hand on the other pages,
// or taken from a file on a web server), the icon, authentication and proxy switches, and the
// buttons that import, export and run the setup wizard. A change of the method changes the
// sheet's pages, so Apply asks the sheet to rebuild them.
#ifndef CLIENT_PAGES_GENERALPAGE_H
#define CLIENT_PAGES_GENERALPAGE_H

#include "ImageButtonBar.h"
#include "RegistryBinding.h"
#include "SettingsPage.h"
#include "pages_resource.h"

class GeneralPage : public SettingsPage {
public:
    explicit GeneralPage(ClientSettings &settings);

    // The authentication switch, which an import changes, into its buttons; the page's other
    // edits stay. Nothing while there is no window.
    void Reload() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnApply() override;

private:
    int Method() const;
    // The method shows either the URL controls or the authentication controls.
    void ShowMethod();
    void TrayClicked();
    void MethodChanged();
    // Takes the configuration over from the URL after the user agreed; false when it was not.
    bool Fetch();
    void Open();
    void Save();
    void RunWizard();

    RegistryBindingList bindings_;
    RegistryBinding *tray_;
    RegistryBinding *method_;
    RegistryBinding *authentication_;
    RegistryBinding *url_;
    ImageButtonBar bar_;
    // The configuration must be fetched from the URL at the next Apply.
    bool urlPending_ = false;
    // The controls are being filled: their notifications are no edits.
    bool loading_ = false;
};

#endif
