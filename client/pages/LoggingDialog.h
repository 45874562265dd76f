// "Logging": switches the trouble-shooting log file on or off and chooses its path, in the two
// client key values that the logging library reads when a process opens its log.
#ifndef CLIENT_PAGES_LOGGINGDIALOG_H
#define CLIENT_PAGES_LOGGINGDIALOG_H

#include "Dialog.h"
#include "RegistryBinding.h"

class LoggingDialog : public Dialog {
public:
    LoggingDialog();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    // The path and its browse button mean something only while the log is on.
    void EnablePath();
    void Browse();

    RegistryBindingList bindings_;
    RegistryBinding *path_;
    RegistryBinding *enabled_;
};

#endif
