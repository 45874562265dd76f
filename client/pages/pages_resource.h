/* Templates of the settings program's pages. Included by the .rc files, so only #define lines. */
#ifndef CLIENT_PAGES_PAGES_RESOURCE_H
#define CLIENT_PAGES_PAGES_RESOURCE_H

#define IDD_PROXY_PAGE 110
#define IDD_SINGLE_PROXY_PAGE 1044
#define IDD_GENERAL_PAGE 1110
#define IDD_APPLICATION_PAGE 1200
#define IDD_CREDENTIAL_PAGE 1210
#define IDD_DNS_PAGE 1220
#define IDD_TOOL_PAGE 1230

#endif
