#include "ClientSettings.h"

#include <algorithm>

#include "regnames.h"
#include "settings_fixture.h"

namespace {

TEST(StripServiceArguments, KeepsBlanksInsideThePathAndDropsArguments)
{
    struct Case {
        const char *path;
        const char *expected;
    } cases[] = {
        {"C:\\Program Files\\App\\svc.exe -k x", "C:\\Program Files\\App\\svc.exe"},
        {"C:\\WINNT\\System32\\svchost.exe -k netsvcs", "C:\\WINNT\\System32\\svchost.exe"},
        {"C:\\Program Files\\App\\svc.exe", "C:\\Program Files\\App\\svc.exe"},
        {"C:\\WINNT\\System32\\spoolsv.exe", "C:\\WINNT\\System32\\spoolsv.exe"},
        {"C:\\Program  Files\\App\\svc.exe", "C:\\Program  Files\\App\\svc.exe"},
        {"C:\\svc.exe -f C:\\svc.ini", "C:\\svc.exe -f C:\\svc.ini"},
        {"\"C:\\Program Files\\App\\svc.exe\" /run", "\"C:\\Program Files\\App\\svc.exe\""},
        {"svc.exe ", "svc.exe"},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(StripServiceArguments(c.path), c.expected) << c.path;
}

// Services created for a test and deleted with it.
class SystemList : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager_, nullptr);
    }
    void TearDown() override
    {
        for (const std::string &name : services_)
            Delete(name);
        CloseServiceHandle(manager_);
        SettingsTest::TearDown();
    }

    void AddService(const std::string &name, const std::string &binary)
    {
        Delete(name);
        SC_HANDLE service
            = CreateServiceA(manager_, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                             binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(service, nullptr) << GetLastError();
        CloseServiceHandle(service);
        services_.push_back(name);
    }

    static PathList Rebuilt()
    {
        ClientSettings settings;
        settings.systemList = {"C:\\stale.exe"};
        settings.RebuildSystemList();
        return settings.systemList;
    }

private:
    void Delete(const std::string &name)
    {
        SC_HANDLE service = OpenServiceA(manager_, name.c_str(), DELETE);
        if (service) {
            DeleteService(service);
            CloseServiceHandle(service);
        }
    }

    SC_HANDLE manager_ = nullptr;
    std::vector<std::string> services_;
};

bool Contains(const PathList &list, const std::string &path)
{
    return std::find(list.begin(), list.end(), path) != list.end();
}

TEST_F(SystemList, ListsServiceExecutablesWithoutArgumentsAndLeavesOutOverlongPaths)
{
    std::string longPath = "C:\\" + std::string(293, 'x') + ".exe";
    ASSERT_EQ(longPath.size(), 300u);
    AddService("FerrowinTestSpaced", "C:\\Program Files\\Ferrowin Test\\svc.exe -k netsvcs");
    AddService("FerrowinTestLong", longPath);

    PathList list = Rebuilt();
    EXPECT_TRUE(Contains(list, "C:\\Program Files\\Ferrowin Test\\svc.exe"));
    EXPECT_FALSE(Contains(list, "C:\\stale.exe"));
    for (const std::string &path : list) {
        EXPECT_LE(path.size(), 255u);
        EXPECT_EQ(path.find("xxxx"), std::string::npos) << path;
    }
}

// The services as the manager lists them, asked one by one: what the rebuild must come to.
PathList ServicesInManagerOrder()
{
    PathList paths;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    DWORD needed = 0, count = 0, resume = 0;
    EnumServicesStatusA(manager, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume);
    std::vector<char> buffer(needed);
    auto *services = reinterpret_cast<ENUM_SERVICE_STATUSA *>(buffer.data());
    EnumServicesStatusA(manager, SERVICE_WIN32, SERVICE_STATE_ALL, services, needed, &needed, &count, &resume);
    for (DWORD i = 0; i < count; i++) {
        SC_HANDLE service = OpenServiceA(manager, services[i].lpServiceName, SERVICE_QUERY_CONFIG);
        DWORD size = 0;
        QueryServiceConfigA(service, nullptr, 0, &size);
        std::vector<char> config(size);
        if (QueryServiceConfigA(service, reinterpret_cast<QUERY_SERVICE_CONFIGA *>(config.data()), size, &size)) {
            std::string path = StripServiceArguments(
                reinterpret_cast<QUERY_SERVICE_CONFIGA *>(config.data())->lpBinaryPathName);
            if (!path.empty() && path.size() <= 255)
                paths.push_back(path);
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return paths;
}

// A configuration larger than the usual query buffer is still read, and the services keep the
// manager's order.
TEST_F(SystemList, ListsEveryServiceInTheManagersOrder)
{
    AddService("FerrowinTest1Huge", "C:\\huge.exe -k " + std::string(9000, 'a'));
    AddService("FerrowinTest2Spaced", "C:\\Program Files\\Ferrowin Test\\svc.exe -k netsvcs");
    PathList expected = ServicesInManagerOrder();
    ASSERT_TRUE(Contains(expected, "C:\\huge.exe"));
    ASSERT_TRUE(Contains(expected, "C:\\Program Files\\Ferrowin Test\\svc.exe"));
    EXPECT_EQ(expected, Rebuilt());
}

TEST_F(SystemList, ServerProductComponentsFollowTheServices)
{
    SetString(HKEY_LOCAL_MACHINE, XR_SERVER_KEY, XR_VALUE_INSTALLATION_DIRECTORY,
              "C:\\Ferrowin Server\\");
    PathList list = Rebuilt();
    ASSERT_GE(list.size(), 5u);
    EXPECT_EQ(PathList(list.end() - 5, list.end()),
              (PathList {"C:\\Ferrowin Server\\kestrel.exe", "C:\\Ferrowin Server\\osprey.exe",
                         "C:\\Ferrowin Server\\merlin.exe", "C:\\Ferrowin Server\\harrier.exe",
                         "C:\\Ferrowin Server\\falcon.exe"}));
}

TEST_F(SystemList, ServerDirectoryWithoutBackslashRunsIntoTheFileNames)
{
    SetString(HKEY_LOCAL_MACHINE, XR_SERVER_KEY, XR_VALUE_INSTALLATION_DIRECTORY, "C:\\Server");
    PathList list = Rebuilt();
    EXPECT_TRUE(Contains(list, "C:\\Serverkestrel.exe"));
    EXPECT_TRUE(Contains(list, "C:\\Serverfalcon.exe"));
}

TEST_F(SystemList, EmptyServerDirectoryAddsNoComponents)
{
    SetString(HKEY_LOCAL_MACHINE, XR_SERVER_KEY, XR_VALUE_INSTALLATION_DIRECTORY, "");
    for (const std::string &path : Rebuilt())
        EXPECT_EQ(path.find("kestrel.exe"), std::string::npos) << path;
}

}
