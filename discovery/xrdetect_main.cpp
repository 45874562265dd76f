// xrdetect: one discovery run from the command line, printing what the proxy page shows.
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "nt/nt_log.h"
#include "nt/regutil.h"
#include "regnames.h"
#include "xrdetect.h"

namespace {


enum ExitCode { kFound = 0, kNoneFound = 1, kFailed = 2 };

const char kUsage[] =
    "Usage: xrdetect [options]\n"
    "Looks for SOCKS servers on the local network by a UDP broadcast, as the proxy page does.\n"
    "  --timeout SECONDS   listening time after each request, 0-3600 (default 2)\n"
    "  --ttl N             time-to-live of the request, 1-255 (default 2)\n"
    "  --port PORT         SOCKS port looked for, 1-65535 (default 1080)\n"
    "  --address A.B.C.D   send the request to this address instead of broadcasting\n"
    "  --wait-mode 1|2|3   return at the first reply and stop (1, default), return at the\n"
    "                      first reply (2), or wait for the whole run (3)\n"
    "  --store             write the first server found into the registry value \"Server\"\n"
    "  --help              show this text\n"
    "Exit code: 0 a server was found, 1 none was found, 2 error or bad usage.\n";

struct Options {
    long timeout = 2;
    long ttl = 2;
    long port = 1080;
    long waitMode = 1;
    const char *address = nullptr;
    bool store = false;
};

struct NumberOption {
    const char *name;
    long low;
    long high;
    const char *needs;
    long Options::*field;
};

const NumberOption kNumberOptions[] = {
    {"--timeout", 0, 3600, "a number of seconds from 0 to 3600", &Options::timeout},
    {"--ttl", 1, 255, "a number from 1 to 255", &Options::ttl},
    {"--port", 1, 65535, "a port number from 1 to 65535", &Options::port},
    {"--wait-mode", 1, 3, "1, 2 or 3", &Options::waitMode},
};

bool ParseNumber(const char *text, long low, long high, long *value)
{
    char *end = nullptr;
    errno = 0;
    long number = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || number < low || number > high)
        return false;
    *value = number;
    return true;
}

// Four decimal numbers of 0-255 joined by dots, nothing else.
bool IsDottedAddress(const char *text)
{
    for (int part = 0; part < 4; part++) {
        if (part > 0 && *text++ != '.')
            return false;
        int digits = 0;
        int value = 0;
        for (; *text >= '0' && *text <= '9' && digits < 4; text++, digits++)
            value = value * 10 + (*text - '0');
        if (digits == 0 || digits > 3 || value > 255)
            return false;
    }
    return *text == '\0';
}

// needs null: the option itself is unknown.
int BadUsage(const char *option, const char *needs)
{
    if (needs)
        fprintf(stderr, "xrdetect: %s needs %s\n", option, needs);
    else
        fprintf(stderr, "xrdetect: unknown option '%s'\n", option);
    fputs("Try 'xrdetect --help'.\n", stderr);
    return -1;
}

// 0 to run, 1 after --help, -1 on bad usage (reported).
int ParseArguments(int argc, char **argv, Options *options)
{
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (strcmp(arg, "--help") == 0) {
            fputs(kUsage, stdout);
            return 1;
        }
        if (strcmp(arg, "--store") == 0) {
            options->store = true;
            continue;
        }
        const char *value = i + 1 < argc ? argv[++i] : nullptr;
        if (strcmp(arg, "--address") == 0) {
            if (!value || !IsDottedAddress(value))
                return BadUsage(arg, "a dotted IPv4 address such as 192.168.1.20");
            options->address = value;
            continue;
        }
        const NumberOption *option = nullptr;
        for (const NumberOption &candidate : kNumberOptions)
            if (strcmp(arg, candidate.name) == 0)
                option = &candidate;
        if (!option)
            return BadUsage(arg, nullptr);
        if (!value || !ParseNumber(value, option->low, option->high, &(options->*option->field)))
            return BadUsage(arg, option->needs);
    }
    return 0;
}

int StoreServer(const sockaddr_in &server)
{
    char text[32];
    DetectServerText(&server, text, sizeof text);
    HKEY key = nullptr;
    int status = XrRegWrite(&key, HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_SERVER, REG_SZ, text,
                            DWORD(strlen(text) + 1), *XrLogProcessHandle());
    XrRegRelease(&key, nullptr);
    return status;
}

int Discover(const Options &options)
{
    DetectParams params = {};
    params.timeout = int32_t(options.timeout);
    params.ttl = int32_t(options.ttl);
    params.port = uint16_t(options.port);
    params.waitMode = int32_t(options.waitMode);
    if (options.address) {
        params.useAddress = 1;
        snprintf(params.address, sizeof params.address, "%s", options.address);
    }
    // The worker may outlive the wait; its end tells when the records may go.
    params.doneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!params.doneEvent) {
        fprintf(stderr, "xrdetect: cannot create an event (error %lu)\n", GetLastError());
        return kFailed;
    }
    DetectResult result = {};
    printf("============================================\n");
    printf("Searching for Ferrowin server. Please wait...\n");
    fflush(stdout);
    uint32_t cancelPort = DetectSocksServer(&params, &result);
    if (cancelPort == 0) {
        printf("Error: %d\n", result.error);
        return kFailed;
    }
    CancelSocksDetect(cancelPort);
    WaitForSingleObject(params.doneEvent, DWORD(2 * params.timeout + 5) * 1000);
    CloseHandle(params.doneEvent);

    printf("Found %d server(s).\n", result.count);
    if (result.count == 0)
        return kNoneFound;
    if (options.store && StoreServer(result.servers[0].in) != 0) {
        fprintf(stderr, "xrdetect: cannot write the registry value \"%s\"\n", XR_VALUE_SERVER);
        return kFailed;
    }
    printf("Server list:\n\n");
    for (int i = 0; i < result.count; i++) {
        char text[32];
        DetectServerText(&result.servers[i].in, text, sizeof text);
        printf("%d   %s\n", i + 1, text);
    }
    printf("\nEnd server list.\n");
    return kFound;
}

}  // namespace

int main(int argc, char **argv)
{
    // Plain line ends, whatever receives the output.
    _setmode(_fileno(stdout), _O_BINARY);
    Options options;
    int parsed = ParseArguments(argc, argv, &options);
    if (parsed != 0)
        return parsed > 0 ? kFound : kFailed;

    WSADATA winsock;
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) {
        fprintf(stderr, "xrdetect: cannot start Winsock\n");
        return kFailed;
    }
    XrLogOpen(XrLogProcessHandle(), -1, -1, nullptr);
    int status = Discover(options);
    XrLogClose(XrLogProcessHandle());
    WSACleanup();
    return status;
}
