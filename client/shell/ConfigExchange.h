// Import and export of a whole client configuration (servers, DNS domains, application lists and
// seven switches) as one exchange file in the configuration file's format, from a local path or
// a web server. Every failure is reported by the error dialog and gives false.
#ifndef CLIENT_SHELL_CONFIGEXCHANGE_H
#define CLIENT_SHELL_CONFIGEXCHANGE_H

#include "ClientSettings.h"

// Takes the file over all or nothing: the whole file is checked first, and a failure changes
// nothing. After a successful import what it took over is stored at once: the configuration
// file, the application list file, the DNS values and the switches.
bool ImportFromFile(ClientSettings &settings, const char *path);
// url begins with "http://" or "https://". statusMessages: log the transfer's progress.
bool ImportFromUrl(ClientSettings &settings, const char *url, bool statusMessages);
// As typed by a user: "http://" is put in front unless the text begins with a scheme; a wait
// cursor shows meanwhile.
bool ImportUrlWithPrefix(ClientSettings &settings, const char *text);
bool ExportToFile(ClientSettings &settings, const char *path);

#endif
