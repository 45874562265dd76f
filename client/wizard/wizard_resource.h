/* Templates of the setup wizard's pages. Included by the .rc files, so only #define lines. */
#ifndef CLIENT_WIZARD_WIZARD_RESOURCE_H
#define CLIENT_WIZARD_WIZARD_RESOURCE_H

#define IDD_WIZARD_STARTUP 1300
#define IDD_WIZARD_END 1303

#endif
