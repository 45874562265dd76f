/* Registry keys and value names of the whole system, with their exact texts. */
#ifndef XRUTIL_REGNAMES_H
#define XRUTIL_REGNAMES_H

/* HKEY_LOCAL_MACHINE: the client key and its values. */
#define XR_CLIENT_KEY "SOFTWARE\\Varo\\Ferrowin Client\\2.0"
#define XR_VALUE_INSTALLATION_DIRECTORY "Installation Directory"
#define XR_VALUE_CLIENT_LIBRARY_FILE "Client Library File"
#define XR_VALUE_APPLICATION_FILE "Application File"
#define XR_VALUE_SETUP_IN_PROGRESS "Setup in progress"
#define XR_VALUE_START_AS_WIZARD "Start as wizard"
#define XR_VALUE_WIZARD_LAST_USED_IMPORT "Wizard last used import"
#define XR_VALUE_LAST_IMPORT_URL "Last configuration file import URL"
#define XR_VALUE_LAST_IMPORT_PATH "Last configuration file import path"
#define XR_VALUE_PROXY_METHOD "Proxy method"
#define XR_VALUE_SUPPORT_MULTIPLE_SERVER "Support Multiple Server"
#define XR_VALUE_USE_AUTHENTICATION "Use Authentication"
#define XR_VALUE_SHOW_ICON_ON_TASKBAR "Show icon on taskbar"
#define XR_VALUE_ENABLE_PROXY "Enable Proxy"
#define XR_VALUE_ENABLE_CONFIGURATION_FILE "Enable Configuration File"
#define XR_VALUE_SOCKSIFY_ALL "Socksify All"
#define XR_VALUE_ALLOW_SAVE_CREDENTIAL "Allow save credential"
#define XR_VALUE_ENABLE_DNS_PROXY "Enable DNS Proxy"
#define XR_VALUE_LOCAL_DNS_DOMAINS "Local DNS Domains"
#define XR_VALUE_REMOTE_DNS_DOMAINS "Remote DNS Domains"
#define XR_VALUE_ENABLE_NETMASK_CHECK "Enable Netmask Check"
#define XR_VALUE_SERVER "Server"
#define XR_VALUE_ENABLE_LOG_TO_FILE "Enable Log to File"
#define XR_VALUE_DEBUG_LOG_FILE "Debug Log File"
#define XR_VALUE_WS2LOG_LEVEL "WinSock2 Log Level"
#define XR_VALUE_WS2LOG_FILE "WinSock2 Log File"

/* HKEY_LOCAL_MACHINE: settings common to the product family. */
#define XR_COMMON_KEY "SOFTWARE\\Varo\\Ferrowin Common\\2.0"
#define XR_VALUE_ERROR_MESSAGE_DLL_FILE "Error Message DLL File"

/* HKEY_LOCAL_MACHINE: a non-zero 4-byte number here puts the credential manager in test mode. */
#define XR_TESTING_KEY "Software\\Varo\\Testing"
#define XR_TESTING_VALUE "XrClient"

/* HKEY_LOCAL_MACHINE: the plug-in registry. */
#define XR_PLUGINS_KEY "SOFTWARE\\Varo\\Ferrowin Client\\2.0\\PlugIns"

/* HKEY_CURRENT_USER: handed to the credential cache. */
#define XR_CREDENTIALS_KEY "Software\\Varo\\SOCKS5 Credentials\\3.0"

/* HKEY_LOCAL_MACHINE: the logon entries. */
#define XR_RUN_KEY "SOFTWARE\\MICROSOFT\\windows\\currentversion\\run"
#define XR_RUNONCE_KEY "SOFTWARE\\MICROSOFT\\windows\\currentversion\\runonce"
#define XR_VALUE_STARTUP "Ferrowin Startup"

/* HKEY_LOCAL_MACHINE: the server product on the same machine (its "Installation Directory"). */
#define XR_SERVER_KEY "SOFTWARE\\Varo\\Ferrowin Server\\2.0"

/* HKEY_CURRENT_USER: the older product whose settings a fresh installation takes over. */
#define XR_VELTRIX_CONNECTIONS_KEY "software\\varo usa\\veltrix32\\connections"
#define XR_VELTRIX_PROTOCOL_KEY "software\\varo usa\\veltrix32\\protocol"
#define XR_VELTRIX_APPPROFILES_KEY "software\\varo usa\\veltrix32\\appprofiles"
#define XR_VELTRIX_DIRECT_CONNECTIONS "DirectConnections"
#define XR_VELTRIX_SOCKS_SERVER "SocksServer"
#define XR_VELTRIX_SOCKS_PORT "SocksPort"
#define XR_VELTRIX_SOCKS_VERSION "SocksVersion32"
#define XR_VELTRIX_RESOLVE_TYPE "ResolveType"
#define XR_VELTRIX_COMMAND_PATH "commandpath"

#endif
