/* Enters the layered provider of the socksifying library into the Winsock catalog (one hidden
 * layered entry and one protocol chain per base protocol of families 1 and 2, the chains moved
 * to the head of the catalog order) and can enter the same library as the DNS name-space
 * provider; removes them again. Selectors, without regard to case: "spi" the layered provider
 * and its chains, "npi" the name-space provider, "all" both.
 *
 * What happens is reported on standard output, one flushed message at a time. A failure leaves
 * what was done so far, and the next run heals it: an install first clears what earlier runs
 * left of ours, and a removal takes the layered entry out only once all our chains are gone and
 * no other provider's chain is stacked on it. Other providers' entries are never touched. Every
 * run goes through the catalog in use (WscCatalog.h) and keeps its view of it in ProtoCatalog,
 * inside a CatalogRun. */
#ifndef XRCREDMGR_PROVIDERINSTALLER_H
#define XRCREDMGR_PROVIDERINSTALLER_H

#include "ProtoCatalog.h"

/* Entry names start with prefix; path is the library's. With "spi" the result is false even
 * after a successful installation; it is the name-space installation's with "npi" and "all". */
bool InstallProviders(const char *prefix, const char *selector, const char *path);
/* True when the layered entry was removed, all our chains with it ("spi", "all"); false when
 * it was not installed, and always with "npi". */
bool RemoveProviders(const char *selector);

/* The catalog lock for the length of a scope, and the catalog object dropped at its end. */
class CatalogRun {
public:
    CatalogRun() { ProtoCatalog::CreateLock(); }
    ~CatalogRun()
    {
        ProtoCatalog::Release();
        ProtoCatalog::DeleteLock();
    }
    CatalogRun(const CatalogRun &) = delete;
    CatalogRun &operator=(const CatalogRun &) = delete;
};

#endif
