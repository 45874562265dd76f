#include "ProviderInstaller.h"

#include <gtest/gtest.h>

#include <set>

#include "WscText.h"
#include "support.h"
#include "ws2log.h"

namespace {

const char kPrefix[] = "Varo Ferrowin ";
const char kLibrary[] = "C:\\Program Files\\Ferrowin\\xrspi.dll";
const GUID kProviderId = {0xc07615a0, 0xc5ba, 0x11d1, {0x80, 0x63, 0x00, 0x60, 0x08, 0x31, 0x7c, 0xef}};

struct RunResult {
    bool ok;
    std::string output;
};

RunResult Install(const char *selector)
{
    CatalogRun run;
    ::testing::internal::CaptureStdout();
    bool ok = InstallProviders(kPrefix, selector, kLibrary);
    return {ok, ::testing::internal::GetCapturedStdout()};
}

RunResult Remove(const char *selector)
{
    CatalogRun run;
    ::testing::internal::CaptureStdout();
    bool ok = RemoveProviders(selector);
    return {ok, ::testing::internal::GetCapturedStdout()};
}

/* An in-memory catalog with a TCP/IP stack's base entries in place of the platform's. */
class Installer : public ::testing::Test {
  protected:
    void SetUp() override
    {
        AddTcpIpBases(m_catalog);
        WscCatalogUse(&m_catalog);
    }
    void TearDown() override { WscCatalogUse(nullptr); }

    std::vector<WSAPROTOCOL_INFOW> Entries() { return CatalogEntries(m_catalog); }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const WSAPROTOCOL_INFOW &entry : Entries())
            names.push_back(EntryName(entry));
        return names;
    }
    DWORD IdOf(const std::string &name)
    {
        for (const WSAPROTOCOL_INFOW &entry : Entries())
            if (EntryName(entry) == name)
                return entry.dwCatalogEntryId;
        return 0;
    }

    MemoryCatalog m_catalog;
};

TEST_F(Installer, InetBaseEntriesGetChainsAtTheHeadOfTheOrder)
{
    DWORD tcp = IdOf("Tcpip [TCP/IP]");
    DWORD udp = IdOf("Tcpip [UDP/IP]");
    RunResult result = Install("spi");
    EXPECT_FALSE(result.ok) << "spi alone reports failure";
    EXPECT_EQ(result.output, "Created Layer provider Varo Ferrowin Layered Service Provider\n"
                             "Creating protocal chain Varo Ferrowin Tcpip [TCP/IP]\n"
                             "Creating protocal chain Varo Ferrowin Tcpip [UDP/IP]\n");
    std::vector<std::string> expected = {"Varo Ferrowin Tcpip [TCP/IP]", "Varo Ferrowin Tcpip [UDP/IP]",
                                         "Tcpip [TCP/IP]", "Tcpip [UDP/IP]", "Tcpip [TCP/IPv6]",
                                         "Varo Ferrowin Layered Service Provider"};
    ASSERT_EQ(Names(), expected);

    std::vector<WSAPROTOCOL_INFOW> entries = Entries();
    const WSAPROTOCOL_INFOW &layered = entries[5];
    EXPECT_TRUE(IsEqualGUID(layered.ProviderId, kProviderId));
    EXPECT_EQ(layered.dwProviderFlags, static_cast<DWORD>(PFL_HIDDEN));
    EXPECT_EQ(layered.ProtocolChain.ChainLen, LAYERED_PROTOCOL);
    EXPECT_EQ(layered.iAddressFamily, AF_INET);
    EXPECT_EQ(layered.iMaxSockAddr, 16);
    EXPECT_EQ(layered.iMinSockAddr, 16);
    EXPECT_EQ(layered.iSocketType, SOCK_STREAM);
    EXPECT_EQ(layered.iProtocol, IPPROTO_TCP);
    EXPECT_EQ(layered.dwServiceFlags1, 0u);

    DWORD bases[] = {tcp, udp};
    for (int i = 0; i < 2; i++) {
        const WSAPROTOCOL_INFOW &chain = entries[i];
        const WSAPROTOCOL_INFOW &base = entries[2 + i];
        EXPECT_EQ(chain.ProtocolChain.ChainLen, 2);
        EXPECT_EQ(chain.ProtocolChain.ChainEntries[0], layered.dwCatalogEntryId);
        EXPECT_EQ(chain.ProtocolChain.ChainEntries[1], bases[i]);
        EXPECT_FALSE(IsEqualGUID(chain.ProviderId, base.ProviderId));
        EXPECT_FALSE(IsEqualGUID(chain.ProviderId, kProviderId));
        EXPECT_EQ(chain.iSocketType, base.iSocketType) << "a copy of its base entry";
        EXPECT_EQ(chain.iProtocol, base.iProtocol);
        EXPECT_EQ(chain.dwServiceFlags1, base.dwServiceFlags1);
    }
    EXPECT_FALSE(IsEqualGUID(entries[0].ProviderId, entries[1].ProviderId));
}

TEST_F(Installer, LongBaseNameIsCutToTheNameField)
{
    MemoryCatalog catalog;
    WscCatalogUse(&catalog);
    std::wstring longName(WSAPROTOCOL_LEN, L'N');
    AddBaseEntry(catalog, longName.c_str(), AF_INET, SOCK_STREAM, IPPROTO_TCP);
    RunResult result = Install("spi");
    std::string shown = std::string(kPrefix) + std::string(MAX_PATH - 1 - strlen(kPrefix), 'N');
    EXPECT_EQ(result.output, "Created Layer provider Varo Ferrowin Layered Service Provider\n"
                             "Creating protocal chain " + shown + "\n");
    std::vector<WSAPROTOCOL_INFOW> entries = CatalogEntries(catalog);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(EntryName(entries[0]), shown.substr(0, WSAPROTOCOL_LEN));
}

TEST_F(Installer, RemoveWithNothingInstalledFails)
{
    RunResult result = Remove("spi");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output, "Failed to locate Layered Provider for chain info: "
                             "c07615a0-c5ba-11d1-8063-006008317cef\n"
                             "Some protocol chain failed to be removed, removed count. 0\n");
}

TEST_F(Installer, FailedFirstChainRemovalSkipsTheOthersAndKeepsTheLayeredEntry)
{
    AddBaseEntry(m_catalog, L"Tcpip [RAW/IP]", AF_INET, SOCK_RAW, IPPROTO_RAW);
    Install("spi");
    std::vector<std::string> installed = Names();
    m_catalog.FailCall(WscCall::DeinstallProvider, 0, WSANO_RECOVERY);
    RunResult result = Remove("spi");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output,
              "Failed to remove protocol chain: Varo Ferrowin Tcpip [TCP/IP], 11003\n"
              "Previous attempt failed, skipping chain: Varo Ferrowin Tcpip [UDP/IP]\n"
              "Previous attempt failed, skipping chain: Varo Ferrowin Tcpip [RAW/IP]\n"
              "Some protocol chain failed to be removed, removed count. 0\n");
    EXPECT_EQ(Names(), installed);

    RunResult again = Install("spi");
    EXPECT_EQ(again.output, "Failed to create layered provider.\n")
        << "the layered entry left behind keeps its identifier";
}

TEST_F(Installer, FailureAfterARemovedChainStillRemovesTheLayeredEntry)
{
    AddBaseEntry(m_catalog, L"Tcpip [RAW/IP]", AF_INET, SOCK_RAW, IPPROTO_RAW);
    Install("spi");
    m_catalog.FailCall(WscCall::DeinstallProvider, 1, WSANO_RECOVERY);
    RunResult result = Remove("spi");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output,
              "Removing protocol chain: Varo Ferrowin Tcpip [TCP/IP]\n"
              "Failed to remove protocol chain: Varo Ferrowin Tcpip [UDP/IP], 11003\n"
              "Previous attempt failed, skipping chain: Varo Ferrowin Tcpip [RAW/IP]\n"
              "Removing Layered provider: Varo Ferrowin Layered Service Provider\n");
    std::vector<std::string> left = {"Varo Ferrowin Tcpip [UDP/IP]", "Varo Ferrowin Tcpip [RAW/IP]",
                                     "Tcpip [TCP/IP]", "Tcpip [UDP/IP]", "Tcpip [TCP/IPv6]",
                                     "Tcpip [RAW/IP]"};
    EXPECT_EQ(Names(), left);
}

TEST_F(Installer, FailedLayeredRemovalIsReportedWithItsError)
{
    Install("spi");
    m_catalog.FailCall(WscCall::DeinstallProvider, 2, WSANO_RECOVERY);
    RunResult result = Remove("spi");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output, "Removing protocol chain: Varo Ferrowin Tcpip [TCP/IP]\n"
                             "Removing protocol chain: Varo Ferrowin Tcpip [UDP/IP]\n"
                             "Failed to remove Layered provider: 11003\n");
}

TEST_F(Installer, FailedChainKeepsWhatWasMadeBefore)
{
    m_catalog.FailCall(WscCall::InstallProvider, 2, WSANO_RECOVERY);
    RunResult result = Install("all");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output, "Created Layer provider Varo Ferrowin Layered Service Provider\n"
                             "Creating protocal chain Varo Ferrowin Tcpip [TCP/IP]\n"
                             "Failed to create proto chain.");
    std::vector<std::string> expected = {"Tcpip [TCP/IP]", "Tcpip [UDP/IP]", "Tcpip [TCP/IPv6]",
                                         "Varo Ferrowin Layered Service Provider",
                                         "Varo Ferrowin Tcpip [TCP/IP]"};
    EXPECT_EQ(Names(), expected) << "no name-space provider, order not rewritten";
}

TEST_F(Installer, NameSpaceRemovalReportsSuccessAndFailure)
{
    EXPECT_TRUE(Install("npi").ok);
    RunResult first = Remove("npi");
    RunResult second = Remove("npi");
    EXPECT_FALSE(first.ok) << "npi removal always reports failure";
    EXPECT_EQ(first.output, "Removing namespace provider: Varo Ferrowin NameSpace Provider\n");
    EXPECT_EQ(second.output,
              "Failed to remove namespace provider: Varo Ferrowin NameSpace Provider\n");
}

struct SelectorCase {
    const char *selector;
    bool installResult;
    bool layered;
    bool nameSpace;
};

class InstallerSelector : public Installer, public ::testing::WithParamInterface<SelectorCase> {};

TEST_P(InstallerSelector, IgnoresCaseAndUnknownOnesDoNothing)
{
    const SelectorCase &c = GetParam();
    RunResult install = Install(c.selector);
    EXPECT_EQ(install.ok, c.installResult);
    EXPECT_EQ(Entries().size(), c.layered ? 6u : 3u);
    EXPECT_EQ(install.output.find("Creating namespace provider: ") != std::string::npos,
              c.nameSpace);

    RunResult remove = Remove(c.selector);
    EXPECT_EQ(remove.ok, c.layered);
    EXPECT_EQ(Entries().size(), 3u);
    EXPECT_EQ(remove.output.find("Removing namespace provider: ") != std::string::npos,
              c.nameSpace);
}

INSTANTIATE_TEST_SUITE_P(Selectors, InstallerSelector,
                         ::testing::Values(SelectorCase{"SPI", false, true, false},
                                           SelectorCase{"sPi", false, true, false},
                                           SelectorCase{"NpI", true, false, true},
                                           SelectorCase{"All", true, true, true},
                                           SelectorCase{"ALL", true, true, true},
                                           SelectorCase{"lsp", false, false, false}));

TEST_F(Installer, WholeRunsPrintTheGoldenTranscript)
{
    RunResult install = Install("all");
    RunResult remove = Remove("all");
    EXPECT_TRUE(install.ok);
    EXPECT_TRUE(remove.ok);
    EXPECT_EQ(install.output + remove.output,
              ReadText(XR_TEST_DATA_DIR "/install_remove_all.txt"));
}

TEST_F(Installer, RunTracesObjectLifecycleInDebugLog)
{
    TempDir dir;
    std::string path = dir.File("ws2.log");
    ScopedEnv level("WINSOCK_DEBUG", "4");
    char savedDir[MAX_PATH];
    GetCurrentDirectoryA(sizeof savedDir, savedDir);
    SetCurrentDirectoryA(dir.Path().c_str());
    XrWs2LogLockCreate();
    XrWs2LogInit();
    Install("spi");
    XrWs2LogLockDelete();
    SetCurrentDirectoryA(savedDir);

    std::string log = ReadText(path);
    char tcp[16];
    snprintf(tcp, sizeof tcp, "0x%lx", IdOf("Tcpip [TCP/IP]"));
    char udpChain[16];
    snprintf(udpChain, sizeof udpChain, "0x%lx", IdOf("Varo Ferrowin Tcpip [UDP/IP]"));
    std::vector<std::string> lines = {
        "   Create protocol chain instance, ",
        "   Initialize ServiceProvider::m_Crit, ",
        "   Attaching to service provider " + std::string(tcp) + ". Tcpip [TCP/IP]\n",
        "   Initialize ProtoChain::m_Crit, ",
        "   Attaching to protocol chain " + std::string(udpChain) + ". Varo Ferrowin Tcpip [UDP/IP]\n",
        "   Detaching to protocol chain " + std::string(udpChain) + ", Varo Ferrowin Tcpip [UDP/IP].\n",
        "   Detaching to service provider " + std::string(tcp) + ". Tcpip [TCP/IP]\n",
        "   Delete ServiceProvider::m_Crit, ",
        "   Delete ProtoChain::m_Crit, ",
        "   Delete ProtoCatalog::m_Crit, "};
    for (const std::string &line : lines)
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

} // namespace
