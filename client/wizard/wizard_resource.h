/* Templates and control ids of the setup wizard's pages. Included by the .rc files, so only
 * #define lines. */
#ifndef CLIENT_WIZARD_WIZARD_RESOURCE_H
#define CLIENT_WIZARD_WIZARD_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_WIZARD_STARTUP 1300
#define IDD_WIZARD_SERVER 1301
#define IDD_WIZARD_AUTH 1302
#define IDD_WIZARD_END 1303

/* First page: how the client gets its configuration. */
#define IDC_WIZ_SET_UP 1310
#define IDC_WIZ_URL_SCRIPT 1311
#define IDC_WIZ_IMPORT_FILE 1312
#define IDC_WIZ_URL 1313
#define IDC_WIZ_PATH 1314
#define IDC_WIZ_BROWSE 1315

/* Server page. */
#define IDC_WIZ_DETECT 1320
#define IDC_WIZ_MULTIPLE 1321
#define IDC_WIZ_ONE 1322

/* Authentication page. */
#define IDC_WIZ_NO_AUTH 1330
#define IDC_WIZ_AUTH 1331

#endif
