// Opens its process log as a component of the client does, from what the registry and the
// environment say, writes the one message it is given and closes the log:  log_writer MESSAGE
#include "nt/nt_log.h"

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    XrLogParams params = {XR_LOG_VERSION, "SOCKS5 QVClient", nullptr, 0, 0, nullptr, nullptr};
    if (XrLogOpen(XrLogProcessHandle(), -1, -1, &params) != 0)
        return 1;
    XrLogWrite(nullptr, XR_LOG_INFO, XR_LOG_PLAIN, argv[1]);
    XrLogClose(XrLogProcessHandle());
    return 0;
}
