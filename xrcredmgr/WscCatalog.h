/* The Winsock service-provider installation calls that the provider installer makes, behind one
 * interface so that the catalog they reach can be chosen. The platform's catalog is the default;
 * MemoryCatalog stands in for it where the platform's calls do nothing (tests, the catalog file
 * hook of the manager). */
#ifndef XRCREDMGR_WSCCATALOG_H
#define XRCREDMGR_WSCCATALOG_H

#include <winsock2.h>
#include <ws2spi.h>

/* Each call has the arguments and results of the system call of the same name (protocols are
 * always enumerated all at once). */
class WscCatalog {
public:
    virtual ~WscCatalog() = default;
    virtual int EnumProtocols(WSAPROTOCOL_INFOW *buffer, DWORD *length, int *error) = 0;
    virtual int InstallProvider(GUID *providerId, const WCHAR *path, WSAPROTOCOL_INFOW *entries,
                                DWORD count, int *error) = 0;
    virtual int DeinstallProvider(GUID *providerId, int *error) = 0;
    virtual int GetProviderPath(GUID *providerId, WCHAR *path, int *length, int *error) = 0;
    virtual int WriteProviderOrder(DWORD *catalogIds, DWORD count) = 0;
    virtual int InstallNameSpace(WCHAR *identifier, WCHAR *path, DWORD nameSpace, DWORD version,
                                 GUID *providerId) = 0;
    virtual int UnInstallNameSpace(GUID *providerId) = 0;
};

/* The catalog in use: the platform's unless one was put in its place. */
WscCatalog *WscCatalogCurrent();
/* Puts catalog in place of the platform's (null: the platform's again). Not owned. */
void WscCatalogUse(WscCatalog *catalog);

#endif
