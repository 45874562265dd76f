// The modal dialog through which the settings program reports failures: what happened and its
// possible cause.
#ifndef CLIENT_GUI_ERRORDIALOG_H
#define CLIENT_GUI_ERRORDIALOG_H

void ShowErrorDialog(const char *whatHappened, const char *possibleCause);
// A non-empty title captions the dialog "<title> error"; otherwise the caption is "Error".
void ShowErrorDialog(const char *title, const char *whatHappened, const char *possibleCause);

#endif
