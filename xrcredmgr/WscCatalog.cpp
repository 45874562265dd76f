#include "WscCatalog.h"

/* Exported by ws2_32 but not declared by the SDK headers we build with. */
extern "C" int WSPAPI WSCWriteProviderOrder(LPDWORD lpwdCatalogEntryId, DWORD dwNumberOfEntries);

namespace {

class PlatformCatalog : public WscCatalog {
public:
    int EnumProtocols(WSAPROTOCOL_INFOW *buffer, DWORD *length, int *error) override
    {
        return WSCEnumProtocols(nullptr, buffer, length, error);
    }
    int InstallProvider(GUID *providerId, const WCHAR *path, WSAPROTOCOL_INFOW *entries,
                        DWORD count, int *error) override
    {
        return WSCInstallProvider(providerId, path, entries, count, error);
    }
    int DeinstallProvider(GUID *providerId, int *error) override
    {
        return WSCDeinstallProvider(providerId, error);
    }
    int GetProviderPath(GUID *providerId, WCHAR *path, int *length, int *error) override
    {
        return WSCGetProviderPath(providerId, path, length, error);
    }
    int WriteProviderOrder(DWORD *catalogIds, DWORD count) override
    {
        return WSCWriteProviderOrder(catalogIds, count);
    }
    int InstallNameSpace(WCHAR *identifier, WCHAR *path, DWORD nameSpace, DWORD version,
                         GUID *providerId) override
    {
        return WSCInstallNameSpace(identifier, path, nameSpace, version, providerId);
    }
    int UnInstallNameSpace(GUID *providerId) override
    {
        return WSCUnInstallNameSpace(providerId);
    }
};

PlatformCatalog g_platform;
WscCatalog *g_current = &g_platform;

} // namespace

WscCatalog *WscCatalogCurrent()
{
    return g_current;
}

void WscCatalogUse(WscCatalog *catalog)
{
    g_current = catalog ? catalog : &g_platform;
}
