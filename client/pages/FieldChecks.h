// What the proxy pages accept in their fields before anything is written: the configuration
// file has no quoting, so a field that would not read back as typed is refused here, where the
// user can still correct it.
#ifndef CLIENT_PAGES_FIELDCHECKS_H
#define CLIENT_PAGES_FIELDCHECKS_H

#include <string>
#include <vector>

// A port number from 1 to 65535, digits only.
bool IsPortNumber(const std::string &text);
// A host name or dotted address: letters, digits, '.', '-' and '_', short enough to be
// written with a port (at most 249 characters).
bool IsHostName(const std::string &text);
// A destination address pattern: one word of at most 255 characters, no white space or control
// character ("-" is any destination).
bool IsDestination(const std::string &text);

// The words of a list typed by the user: commas and any white space separate, empty pieces are
// dropped.
std::vector<std::string> SplitWords(const std::string &text);

// Why a settings file write failed (one of XR_SETTINGS_*), for the error dialog.
std::string WriteFailure(int code);

#endif
