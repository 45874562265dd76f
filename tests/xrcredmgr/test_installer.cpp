#include "ProviderInstaller.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "WscText.h"
#include "support.h"
#include "ws2log.h"

namespace {

const char kPrefix[] = "Varo Ferrowin ";
const char kLibrary[] = "C:\\Program Files\\Ferrowin\\xrspi.dll";
const GUID kProviderId = {0xc07615a0, 0xc5ba, 0x11d1, {0x80, 0x63, 0x00, 0x60, 0x08, 0x31, 0x7c, 0xef}};
const wchar_t kOldLibrary[] = L"C:\\Program Files\\Old Ferrowin\\XRSPI.DLL";
const wchar_t kOtherLibrary[] = L"C:\\Program Files\\Other\\otherlsp.dll";
const wchar_t kStackedLibrary[] = L"C:\\Program Files\\Stacked\\stacked.dll";

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

DWORD IdIn(MemoryCatalog &catalog, const std::string &name)
{
    for (const WSAPROTOCOL_INFOW &entry : CatalogEntries(catalog))
        if (EntryName(entry) == name)
            return entry.dwCatalogEntryId;
    return 0;
}

void RemoveEntry(MemoryCatalog &catalog, DWORD id)
{
    for (WSAPROTOCOL_INFOW entry : CatalogEntries(catalog)) {
        int error;
        if (entry.dwCatalogEntryId == id)
            catalog.DeinstallProvider(&entry.ProviderId, &error);
    }
}

/* One line per entry in catalog order: its name, "(ours)" for our provider GUID, and for a
 * chain the names of its links ("gone" for an id not in the catalog). Ids and GUIDs differ from
 * one installation to the next; this does not. */
std::vector<std::string> Describe(MemoryCatalog &catalog)
{
    std::vector<WSAPROTOCOL_INFOW> entries = CatalogEntries(catalog);
    std::vector<std::string> lines;
    for (const WSAPROTOCOL_INFOW &entry : entries) {
        std::string line = EntryName(entry);
        if (IsEqualGUID(entry.ProviderId, kProviderId))
            line += " (ours)";
        for (int link = 0; entry.ProtocolChain.ChainLen > 1 && link < entry.ProtocolChain.ChainLen;
             link++) {
            auto linked = std::find_if(entries.begin(), entries.end(),
                                       [&](const WSAPROTOCOL_INFOW &candidate) {
                                           return candidate.dwCatalogEntryId ==
                                                  entry.ProtocolChain.ChainEntries[link];
                                       });
            line += (link ? " > " : " : ") + (linked != entries.end() ? EntryName(*linked) : "gone");
        }
        lines.push_back(line);
    }
    return lines;
}

/* What an earlier release left after a logoff whose chain removal failed half-way: our UDP chain
 * over a layered entry that is gone, at the head of the order, loading our library from the
 * folder the product had then. */
void AddLeftoverChain(MemoryCatalog &catalog)
{
    DWORD gone = AddLayeredEntry(catalog, L"Varo Ferrowin Layered Service Provider", kOldLibrary);
    DWORD chain = AddChainEntry(catalog, L"Varo Ferrowin Tcpip [UDP/IP]",
                                {gone, IdIn(catalog, "Tcpip [UDP/IP]")}, kOldLibrary);
    RemoveEntry(catalog, gone);
    PutFirst(catalog, {chain});
}

/* Another provider layered over the TCP/IP stack, its chains at the head of the order. */
void AddOtherProvider(MemoryCatalog &catalog)
{
    DWORD other = AddLayeredEntry(catalog, L"Other Layered", kOtherLibrary);
    DWORD tcp = AddChainEntry(catalog, L"Other Tcpip [TCP/IP]",
                              {other, IdIn(catalog, "Tcpip [TCP/IP]")}, kOtherLibrary);
    DWORD udp = AddChainEntry(catalog, L"Other Tcpip [UDP/IP]",
                              {other, IdIn(catalog, "Tcpip [UDP/IP]")}, kOtherLibrary);
    PutFirst(catalog, {tcp, udp});
}

/* A provider whose installer stacked it over our TCP chain, at the head of the order. */
void AddStackedProvider(MemoryCatalog &catalog)
{
    DWORD stacked = AddLayeredEntry(catalog, L"Stacked Layered", kStackedLibrary);
    DWORD chain = AddChainEntry(catalog, L"Stacked over Varo Ferrowin Tcpip [TCP/IP]",
                                {stacked, IdIn(catalog, "Varo Ferrowin Layered Service Provider"),
                                 IdIn(catalog, "Tcpip [TCP/IP]")},
                                kStackedLibrary);
    PutFirst(catalog, {chain});
}

const char kOurTcp[] =
    "Varo Ferrowin Tcpip [TCP/IP] : Varo Ferrowin Layered Service Provider > Tcpip [TCP/IP]";
const char kOurUdp[] =
    "Varo Ferrowin Tcpip [UDP/IP] : Varo Ferrowin Layered Service Provider > Tcpip [UDP/IP]";
const char kOurLayered[] = "Varo Ferrowin Layered Service Provider (ours)";
const char kStackedChain[] = "Stacked over Varo Ferrowin Tcpip [TCP/IP] : Stacked Layered > "
                             "Varo Ferrowin Layered Service Provider > Tcpip [TCP/IP]";

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
    DWORD IdOf(const std::string &name) { return IdIn(m_catalog, name); }

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

TEST_F(Installer, FailedFirstChainRemovalSkipsTheOthersAndTheNextInstallRepairs)
{
    AddBaseEntry(m_catalog, L"Tcpip [RAW/IP]", AF_INET, SOCK_RAW, IPPROTO_RAW);
    Install("spi");
    std::vector<std::string> installed = Describe(m_catalog);
    m_catalog.FailCall(WscCall::DeinstallProvider, 0, WSANO_RECOVERY);
    RunResult result = Remove("spi");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output,
              "Failed to remove protocol chain: Varo Ferrowin Tcpip [TCP/IP], 11003\n"
              "Previous attempt failed, skipping chain: Varo Ferrowin Tcpip [UDP/IP]\n"
              "Previous attempt failed, skipping chain: Varo Ferrowin Tcpip [RAW/IP]\n"
              "Some protocol chain failed to be removed, removed count. 0\n");
    EXPECT_EQ(Describe(m_catalog), installed);

    RunResult again = Install("spi");
    EXPECT_EQ(again.output, "Removing protocol chain: Varo Ferrowin Tcpip [TCP/IP]\n"
                            "Removing protocol chain: Varo Ferrowin Tcpip [UDP/IP]\n"
                            "Removing protocol chain: Varo Ferrowin Tcpip [RAW/IP]\n"
                            "Removing Layered provider: Varo Ferrowin Layered Service Provider\n"
                            "Created Layer provider Varo Ferrowin Layered Service Provider\n"
                            "Creating protocal chain Varo Ferrowin Tcpip [TCP/IP]\n"
                            "Creating protocal chain Varo Ferrowin Tcpip [UDP/IP]\n"
                            "Creating protocal chain Varo Ferrowin Tcpip [RAW/IP]\n")
        << "what was left is cleared first";
    EXPECT_EQ(Describe(m_catalog), installed);
}

TEST_F(Installer, PartialChainRemovalFailsAndKeepsTheLayeredEntryForTheNextRun)
{
    AddBaseEntry(m_catalog, L"Tcpip [RAW/IP]", AF_INET, SOCK_RAW, IPPROTO_RAW);
    Install("spi");
    m_catalog.FailCall(WscCall::DeinstallProvider, 1, WSANO_RECOVERY);
    RunResult result = Remove("spi");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output,
              "Removing protocol chain: Varo Ferrowin Tcpip [TCP/IP]\n"
              "Failed to remove protocol chain: Varo Ferrowin Tcpip [UDP/IP], 11003\n"
              "Previous attempt failed, skipping chain: Varo Ferrowin Tcpip [RAW/IP]\n"
              "Some protocol chain failed to be removed, removed count. 1\n");
    std::vector<std::string> left = {
        kOurUdp,
        "Varo Ferrowin Tcpip [RAW/IP] : Varo Ferrowin Layered Service Provider > Tcpip [RAW/IP]",
        "Tcpip [TCP/IP]", "Tcpip [UDP/IP]", "Tcpip [TCP/IPv6]", "Tcpip [RAW/IP]", kOurLayered};
    EXPECT_EQ(Describe(m_catalog), left) << "no chain is left over an entry that is gone";

    RunResult again = Remove("spi");
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.output, "Removing protocol chain: Varo Ferrowin Tcpip [UDP/IP]\n"
                            "Removing protocol chain: Varo Ferrowin Tcpip [RAW/IP]\n"
                            "Removing Layered provider: Varo Ferrowin Layered Service Provider\n");
    std::vector<std::string> bases = {"Tcpip [TCP/IP]", "Tcpip [UDP/IP]", "Tcpip [TCP/IPv6]",
                                      "Tcpip [RAW/IP]"};
    EXPECT_EQ(Describe(m_catalog), bases);
}

TEST_F(Installer, ChainLeftOverAGoneLayeredEntryIsClearedAtTheNextLogoff)
{
    struct Case {
        bool installed;
        bool removed;
        std::string removeOutput;
        std::string installOutput;
    };
    const std::string notFound = "Failed to locate Layered Provider for chain info: "
                                 "c07615a0-c5ba-11d1-8063-006008317cef\n"
                                 "Some protocol chain failed to be removed, removed count. 0\n";
    const std::string leftover = "Removing protocol chain: Varo Ferrowin Tcpip [UDP/IP]\n";
    const Case cases[] = {
        /* Known by the library our layered entry loads. */
        {true, true, leftover + kRemoveOutput, kInstallOutput},
        /* Without a layered entry only the install knows our library. */
        {false, false, notFound, leftover + kInstallOutput},
    };
    const std::vector<std::string> healthy = {kOurTcp,          kOurUdp,
                                              "Tcpip [TCP/IP]", "Tcpip [UDP/IP]",
                                              "Tcpip [TCP/IPv6]", kOurLayered};
    for (const Case &c : cases) {
        MemoryCatalog catalog;
        WscCatalogUse(&catalog);
        AddTcpIpBases(catalog);
        if (c.installed)
            Install("spi");
        AddLeftoverChain(catalog);
        RunResult remove = Remove("spi");
        RunResult install = Install("spi");
        EXPECT_EQ(remove.ok, c.removed) << c.installed;
        EXPECT_EQ(remove.output, c.removeOutput);
        EXPECT_EQ(install.output, c.installOutput);
        EXPECT_EQ(Describe(catalog), healthy);
    }
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

TEST_F(Installer, OtherProvidersChainsFollowOursAndOutliveOurRemoval)
{
    AddOtherProvider(m_catalog);
    DWORD gone = AddLayeredEntry(m_catalog, L"Gone Layered", kOtherLibrary);
    PutFirst(m_catalog, {AddChainEntry(m_catalog, L"Gone Tcpip [TCP/IP]",
                                       {gone, IdOf("Tcpip [TCP/IP]")}, kOtherLibrary)});
    RemoveEntry(m_catalog, gone);
    std::vector<std::string> before = Describe(m_catalog);

    RunResult install = Install("spi");
    EXPECT_EQ(install.output, kInstallOutput);
    std::vector<std::string> installed = {
        kOurTcp,
        kOurUdp,
        "Gone Tcpip [TCP/IP] : gone > Tcpip [TCP/IP]",
        "Other Tcpip [TCP/IP] : Other Layered > Tcpip [TCP/IP]",
        "Other Tcpip [UDP/IP] : Other Layered > Tcpip [UDP/IP]",
        "Tcpip [TCP/IP]",
        "Tcpip [UDP/IP]",
        "Tcpip [TCP/IPv6]",
        "Other Layered",
        kOurLayered};
    EXPECT_EQ(Describe(m_catalog), installed);

    RunResult remove = Remove("spi");
    EXPECT_TRUE(remove.ok);
    EXPECT_EQ(remove.output, kRemoveOutput) << "another provider's chains are not ours to remove";
    EXPECT_EQ(Describe(m_catalog), before);
}

TEST_F(Installer, ProviderStackedOverOursKeepsOurLayeredEntryAndItsPlaceOnTop)
{
    Install("spi");
    DWORD layered = IdOf("Varo Ferrowin Layered Service Provider");
    AddStackedProvider(m_catalog);
    std::vector<std::string> expected = {kStackedChain,    kOurTcp,          kOurUdp,
                                         "Tcpip [TCP/IP]", "Tcpip [UDP/IP]", "Tcpip [TCP/IPv6]",
                                         kOurLayered,      "Stacked Layered"};
    ASSERT_EQ(Describe(m_catalog), expected);

    for (int logoff = 0; logoff < 2; logoff++) {
        RunResult remove = Remove("spi");
        RunResult install = Install("spi");
        EXPECT_FALSE(remove.ok) << "our layered entry is still there";
        EXPECT_EQ(remove.output,
                  "Removing protocol chain: Varo Ferrowin Tcpip [TCP/IP]\n"
                  "Removing protocol chain: Varo Ferrowin Tcpip [UDP/IP]\n"
                  "Layered provider in use, not removed: Stacked over Varo Ferrowin Tcpip [TCP/IP]\n");
        EXPECT_EQ(install.output, "Keeping Layer provider Varo Ferrowin Layered Service Provider\n"
                                  "Creating protocal chain Varo Ferrowin Tcpip [TCP/IP]\n"
                                  "Creating protocal chain Varo Ferrowin Tcpip [UDP/IP]\n");
        EXPECT_EQ(Describe(m_catalog), expected) << "logoff " << logoff;
    }
    EXPECT_EQ(IdOf("Varo Ferrowin Layered Service Provider"), layered);
}

/* Any sequence of installs and removals, each call of the catalog failing by chance, leaves a
 * catalog from which one clean removal and installation make the same healthy catalog; other
 * providers' entries are never touched and never left naming an entry that is gone. */
TEST(InstallerConvergence, RandomFailuresThenACleanRemoveAndInstallHeal)
{
    struct Variant {
        bool stacked;
        std::vector<std::string> healthy;
    };
    const std::string otherTcp = "Other Tcpip [TCP/IP] : Other Layered > Tcpip [TCP/IP]";
    const std::string otherUdp = "Other Tcpip [UDP/IP] : Other Layered > Tcpip [UDP/IP]";
    const Variant variants[] = {
        {false,
         {kOurTcp, kOurUdp, otherTcp, otherUdp, "Tcpip [TCP/IP]", "Tcpip [UDP/IP]",
          "Tcpip [TCP/IPv6]", "Other Layered", kOurLayered}},
        {true,
         {kStackedChain, kOurTcp, kOurUdp, otherTcp, otherUdp, "Tcpip [TCP/IP]", "Tcpip [UDP/IP]",
          "Tcpip [TCP/IPv6]", "Other Layered", kOurLayered, "Stacked Layered"}},
    };
    std::minstd_rand random(20240611);
    for (int round = 0; round < 40; round++) {
        const Variant &variant = variants[round % 2];
        MemoryCatalog catalog;
        WscCatalogUse(&catalog);
        AddTcpIpBases(catalog);
        AddOtherProvider(catalog);
        if (variant.stacked) {
            Install("spi");
            AddStackedProvider(catalog);
        }
        AddLeftoverChain(catalog);
        std::vector<std::string> foreign;
        for (const std::string &line : Describe(catalog))
            if (line.compare(0, 5, "Other") == 0 || line.compare(0, 7, "Stacked") == 0)
                foreign.push_back(line);

        int steps = 1 + static_cast<int>(random() % 4);
        for (int step = 0; step < steps; step++) {
            catalog.FailAtRandom(random(), 35, WSANO_RECOVERY);
            if (random() % 2)
                Install("spi");
            else
                Remove("spi");
            catalog.FailAtRandom(0, 0, 0);
            std::vector<std::string> lines = Describe(catalog);
            for (const std::string &line : foreign)
                EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end())
                    << "round " << round << " step " << step << ": " << line;
        }
        Remove("spi");
        Install("spi");
        EXPECT_EQ(Describe(catalog), variant.healthy) << "round " << round;
    }
    WscCatalogUse(nullptr);
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
