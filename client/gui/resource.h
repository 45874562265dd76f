/* Resource and control ids of the settings program's dialogs. Included by the .rc files, so
 * only #define lines. */
#ifndef CLIENT_GUI_RESOURCE_H
#define CLIENT_GUI_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Link cursor, About box and error dialog ("Error" is a named template). */
#define IDC_LINK_CURSOR 2033
#define IDD_ABOUT 2026
#define IDC_ABOUT_ICON 2036
#define IDC_ABOUT_PRODUCT 2037
#define IDC_ABOUT_LINK 2039
#define IDC_ABOUT_DATE 2051
#define IDC_ERROR_WHAT 2041
#define IDC_ERROR_CAUSE 2043

/* Image strips of the button bars (scripts/make-buttons): route 18 px New, Remove, Edit, Up,
 * Down; detect 27 px; general 18 px Open, Save, Setup Wizard; tool 27 px Ping, Traceroute,
 * Stop, Clear, Logging. */
#define IDB_ROUTE_BUTTONS 131
#define IDB_GENERAL_BUTTONS 132
#define IDB_TOOL_BUTTONS 133
#define IDB_DETECT_BUTTON 1112

#endif
