/* Templates and control ids of the settings program's pages and their dialogs. Included by the
 * .rc files, so only #define lines. */
#ifndef CLIENT_PAGES_PAGES_RESOURCE_H
#define CLIENT_PAGES_PAGES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_PROXY_PAGE 110
#define IDD_SINGLE_PROXY_PAGE 1044
#define IDD_GENERAL_PAGE 1110
#define IDD_APPLICATION_PAGE 1200
#define IDD_CREDENTIAL_PAGE 1210
#define IDD_DNS_PAGE 1220
#define IDD_TOOL_PAGE 1230

/* Proxy page. The detect bar's placeholder has the same id as the Edit button's command. */
#define IDC_ROUTE_GRID 1037
#define IDC_ROUTE_NEW 1080
#define IDC_ROUTE_REMOVE 1081
#define IDC_ROUTE_UP 1083
#define IDC_ROUTE_DOWN 1085
#define IDC_ROUTE_BAR 1086
#define IDC_ROUTE_EDIT 1087
#define IDC_DETECT_BAR 1087
#define IDC_DETECT_SERVER 1112
#define IDC_PROXY_METHOD 1122
#define IDC_PROXY_OUTPUT 1123

/* Proxy properties dialog: one route row. */
#define IDD_PROXY_PROPERTIES 120
#define IDC_KIND_DIRECT 130
#define IDC_KIND_SOCKS5 131
#define IDC_DEST_NAME 1074
#define IDC_DEST_PORT 1075
#define IDC_SERVER_NAME 1076
#define IDC_SERVER_PORT 1077

/* Single-server proxy page. */
#define IDC_SINGLE_SERVER 1045
#define IDC_SINGLE_DIRECT 1047
#define IDC_SINGLE_PORT 1049

/* Applications page and the application list dialog. */
#define IDC_PROXY_ONLY 1201
#define IDC_PROXY_ALL 1202
#define IDC_INCLUDE_LIST 1203
#define IDC_EXCLUDE_LIST 1204
#define IDD_APPLICATION_LIST 1250
#define IDC_APP_LIST 1251
#define IDC_APP_ADD 1252
#define IDC_APP_REMOVE 1253
#define IDC_APP_TEXT 1254

#endif
