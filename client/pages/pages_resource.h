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

/* General page: the configuration method with its URL or authentication choice, the switches and
 * the button bar (Open, Save, Setup Wizard). */
#define IDC_GENERAL_OPEN 1109
#define IDC_GENERAL_SAVE 1110
#define IDC_GENERAL_WIZARD 1111
#define IDC_GENERAL_URL 1112
#define IDC_GENERAL_TRAY 1113
#define IDC_GENERAL_BAR 1119
#define IDC_GENERAL_METHOD 1135
#define IDC_GENERAL_HTTP 1139
#define IDC_GENERAL_URL_LABEL 1140
#define IDC_GENERAL_UPDATE 1141
#define IDC_GENERAL_AUTH_TEXT 1145
#define IDC_GENERAL_NO_AUTH 1146
#define IDC_GENERAL_AUTH 1147
#define IDC_GENERAL_PROXY 1159

/* DNS page: the two domain lists and the resolution of other names (radio 0, 1, 2). */
#define IDC_DNS_LOCAL 1221
#define IDC_DNS_REMOTE 1222
#define IDC_DNS_USE_LOCAL 1223
#define IDC_DNS_TRY_LOCAL 1224
#define IDC_DNS_USE_REMOTE 1225

/* Credential page: the button bar's commands (New, Remove, Edit), the method list, the grid of
 * cached credentials, the allow-save box and the line that tells of a cache that cannot be
 * opened. */
#define IDC_CREDENTIAL_NEW 1106
#define IDC_CREDENTIAL_REMOVE 1107
#define IDC_CREDENTIAL_EDIT 1108
#define IDC_CREDENTIAL_BAR 1211
#define IDC_CREDENTIAL_METHODS 1212
#define IDC_CREDENTIAL_GRID 1213
#define IDC_ALLOW_SAVE 1214
#define IDC_CREDENTIAL_STATUS 1215

/* Diagnostics page: the button bar's commands (Ping, Traceroute, Stop, Clear, Logging), the
 * destination and the output box; the logging dialog that its Logging button opens. */
#define IDC_TOOL_PING 1099
#define IDC_TOOL_TRACEROUTE 1100
#define IDC_TOOL_STOP 1101
#define IDC_TOOL_CLEAR 1102
#define IDC_TOOL_BAR 1103
#define IDC_TOOL_DESTINATION 1104
#define IDC_TOOL_OUTPUT 1105
#define IDC_TOOL_LOGGING 1113
#define IDD_LOGGING 1113
#define IDC_LOG_PATH 1124
#define IDC_LOG_BROWSE 1125
#define IDC_LOG_ENABLE 1126

#endif
