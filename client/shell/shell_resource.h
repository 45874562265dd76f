/* Resources of client.exe. Included by the .rc file, so only #define lines. */
#ifndef CLIENT_SHELL_SHELL_RESOURCE_H
#define CLIENT_SHELL_SHELL_RESOURCE_H

#define IDI_CLIENT 109
#define IDM_ICON 109
#define IDB_SPLASH 1089

/* Commands of the system menu and the icon menu. */
#define IDM_ABOUT 16
#define IDM_RESTORE 32771
#define IDM_CLOSE 32772

#endif
