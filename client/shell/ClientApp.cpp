#include "ClientApp.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include <string>

#include "ClientPropertySheet.h"
#include "CommandLine.h"
#include "ConfigExchange.h"
#include "PlugInSwitch.h"
#include "QVWizard.h"
#include "RegistryKey.h"
#include "Seams.h"
#include "SharedInstance.h"
#include "SplashWindow.h"
#include "regnames.h"
#include "shell_resource.h"
#include "xrcred.h"
#include "xrimpl.h"
#include "xrplugin_host.h"

namespace {

const UINT kSplashMs = 3000;
const char kCredentialManager[] = "xrcredmgr.exe";
// The detection worker answers a cancel at once; this only bounds a worker that hangs.
const DWORD kDetectWorkerWaitMs = 10000;

// Set once the credential cache is initialised; exit then shuts it down.
bool g_credentialSystem = false;

const char kNotInstalled[] = "Program was not installed correctly.";

// A missing value, or a key that cannot be opened, counts as 0.
DWORD ReadNumber(const char *name)
{
    RegistryKey key;
    DWORD value = 0;
    if (!key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY) || !key.ReadNumber(name, value))
        return 0;
    return value;
}

std::string ReadString(const char *name)
{
    RegistryKey key;
    std::string text;
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        key.ReadString(name, text);
    return text;
}

void WriteNumber(const char *name, DWORD value)
{
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        key.WriteNumber(name, value);
}

int __cdecl CredentialCallback()
{
    return 0;
}

}

int ClientApp::InitInstance(const char *commandLine)
{
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe != INVALID_SOCKET)
        closesocket(probe);

    ClientCommandLineInfo command;
    command.Parse(commandLine);
    DWORD startAsWizard = ReadNumber(XR_VALUE_START_AS_WIZARD);
    DWORD setupInProgress = ReadNumber(XR_VALUE_SETUP_IN_PROGRESS);
    if (setupInProgress) {
        RegistryKey runOnce;
        if (runOnce.Open(HKEY_LOCAL_MACHINE, XR_RUNONCE_KEY))
            runOnce.DeleteValue(XR_VALUE_STARTUP);
    }

    if (SharedInstanceCount() >= 2) {
        if (HWND first = SharedInstanceWindow()) {
            ShowWindow(first, SW_RESTORE);
            SetForegroundWindow(first);
        }
        return 0;
    }
    if (!setupInProgress && !command.startup)
        SplashWindow::Show(IDB_SPLASH, kSplashMs);
    if (command.startup && !startAsWizard) {
        LogonRefresh();
        return 0;
    }

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    if (XrPlugInInit() != 0) {
        g_shellSeams.errorDialog("", "Read plug-in configuration information failed.", kNotInstalled);
        return 0;
    }
    pluginsOpen_ = true;
    if (XrCC_Init(1, HKEY_CURRENT_USER, XR_CREDENTIALS_KEY, CredentialCallback) != 0) {
        g_shellSeams.errorDialog("", "Credential System failed to initialize correctly.", kNotInstalled);
        return 0;
    }
    g_credentialSystem = true;
    settings.Load();
    if (setupInProgress) {
        RunWizard(setupInProgress);
    } else if (startAsWizard) {
        SplashWindow::Wait();
        RunWizard(setupInProgress);
    } else {
        RunPropertySheet();
    }
    return 0;
}

void ClientApp::LogonRefresh()
{
    if (ReadNumber(XR_VALUE_WIZARD_LAST_USED_IMPORT))
        ImportUrlWithPrefix(settings, ReadString(XR_VALUE_LAST_IMPORT_URL).c_str());
    if (ReadNumber(XR_VALUE_PROXY_METHOD))
        DetectAtStartup();
    ApplyAuthentication(ReadNumber(XR_VALUE_USE_AUTHENTICATION));
}

void ClientApp::DetectAtStartup()
{
    WSPSetSocksify(0);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DetectParams params = {};
    params.timeout = 2;
    params.ttl = 2;
    params.doneEvent = done;
    params.port = 1080;
    params.waitMode = 1;
    DetectResult result = {};
    uint32_t cancelPort = g_shellSeams.detect(&params, &result);
    if (cancelPort) {
        CancelSocksDetect(cancelPort);
        // The worker writes into params and result until it ends.
        if (done)
            WaitForSingleObject(done, kDetectWorkerWaitMs);
        if (result.count > 0) {
            char text[32];
            DetectServerText(&result.servers[0].in, text, sizeof text);
            RegistryKey key;
            if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
                key.WriteString(XR_VALUE_SERVER, text);
        }
    }
    if (done)
        CloseHandle(done);
    WSPSetSocksify(1);
}

void ClientApp::ApplyAuthentication(DWORD useAuthentication)
{
    // The plug-in mutex serialises this with every other process's plug-in registry work.
    if (!pluginsOpen_)
        pluginsOpen_ = XrPlugInInit() == 0;
    ApplyAuthenticationToPlugIns(useAuthentication);
}

void ClientApp::RunPropertySheet()
{
    XrRpcInit();
    {
        ClientPropertySheet sheet(settings);
        SplashWindow::Close();
        sheet.BuildPages();
        sheet.stayOnTop = 0;
        sheet.DoModal();
        settings.SavePendingChanges();
    }
    XrRpcCleanup();
}

void ClientApp::StartCredentialManager()
{
    // From this program's folder: the current directory may be anywhere.
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (!length || length >= sizeof path)
        return;
    std::string program(path);
    program = program.substr(0, program.find_last_of('\\') + 1) + kCredentialManager;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, DETACHED_PROCESS | IDLE_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void ClientApp::RunWizard(DWORD setupInProgress)
{
    StartCredentialManager();
    QVWizard wizard(settings);
    wizard.setup = setupInProgress != 0;
    // After Cancel nothing is written, so that the next start shows the wizard again.
    if (wizard.DoModal() != ID_WIZFINISH)
        return;
    WriteNumber(XR_VALUE_START_AS_WIZARD, 0);
    settings.SavePendingChanges();
    WriteNumber(XR_VALUE_SETUP_IN_PROGRESS, 0);
    if (!setupInProgress)
        SplashWindow::Close();
}

int ClientApp::ExitInstance()
{
    if (g_credentialSystem) {
        XrPlugInCleanup();
        XrCC_Exit();
    } else if (pluginsOpen_) {
        XrPlugInCleanup();
    }
    WSACleanup();
    return 0;
}
