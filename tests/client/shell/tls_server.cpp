#include "tls_server.h"

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>

#include "test_tools.h"

namespace {

const int kPollMs = 50;
const int kPolls = 300;

// Starts a program of the machine (Wine gives no handle to wait on), its life bounded by
// timeout(1), in folder, detached from the test's output.
bool StartUnix(const std::string &command, int seconds, const std::string &folder)
{
    std::string line = "/bin/sh -c \"exec /usr/bin/timeout " + std::to_string(seconds) + " " + command
                       + " </dev/null >/dev/null 2>&1\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process))
        return false;
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    return true;
}

template <typename Condition> bool Eventually(Condition condition)
{
    for (int tries = 0; tries < kPolls; tries++) {
        if (condition())
            return true;
        Sleep(kPollMs);
    }
    return false;
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Listens(int port)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    bool connected = connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    closesocket(s);
    WSACleanup();
    return connected;
}

// The Root store's registry copy: changes reach the registry when it is closed.
HCERTSTORE OpenRootStore()
{
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
}

// Python's server sends the body's length: openssl's s_server ends its answers without the
// closing alert, which a client must take for a cut-off answer. A connection that fails its
// handshake (a probe, a client that distrusts the server) only ends that connection.
const char kServer[] = "import http.server, ssl, sys\n"
                       "server = http.server.HTTPServer(('127.0.0.1', int(sys.argv[1])),\n"
                       "                                http.server.SimpleHTTPRequestHandler)\n"
                       "context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
                       "context.load_cert_chain('tls-server.pem', 'tls-server.key')\n"
                       "server.socket = context.wrap_socket(server.socket, server_side=True)\n"
                       "server.serve_forever()\n";

const char kSelfSigned[] = "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
                           "-addext subjectAltName=DNS:localhost -keyout tls-server.key -out tls-server.pem";
const char kFromTestRoot[]
    = "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=Ferrowin-test-root "
      "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign "
      "-keyout tls-root.key -out tls-root.pem "
      "&& /usr/bin/openssl x509 -in tls-root.pem -outform der -out tls-root.der "
      "&& /usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
      "-CA tls-root.pem -CAkey tls-root.key -addext basicConstraints=CA:FALSE "
      "-addext subjectAltName=DNS:localhost -keyout tls-server.key -out tls-server.pem";

}

LoopbackTlsServer::LoopbackTlsServer(const std::string &folder, Certificate certificate) : folder_(folder)
{
    std::string make = certificate == Certificate::SelfSigned ? kSelfSigned : kFromTestRoot;
    if (!StartUnix("/bin/sh -c '" + make + " && touch tls-ready'", 30, folder_)
        || !Eventually([&] { return Exists(folder_ + "\\tls-ready"); }))
        return;
    std::ofstream(folder_ + "\\tls-server.py", std::ios::binary) << kServer;
    port_ = FreeLoopbackPort(SOCK_STREAM);
    ready_ = StartUnix("/usr/bin/python3 tls-server.py " + std::to_string(port_), 30, folder_)
             && Eventually([&] { return Listens(port_); });
}

LoopbackTlsServer::~LoopbackTlsServer()
{
    if (trustedRoot_.empty())
        return;
    HCERTSTORE store = OpenRootStore();
    PCCERT_CONTEXT root = CertCreateCertificateContext(X509_ASN_ENCODING, trustedRoot_.data(),
                                                       static_cast<DWORD>(trustedRoot_.size()));
    if (store && root) {
        PCCERT_CONTEXT stored = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, root,
                                                           nullptr);
        if (stored)
            CertDeleteCertificateFromStore(stored);
    }
    if (root)
        CertFreeCertificateContext(root);
    if (store)
        CertCloseStore(store, 0);
}

bool LoopbackTlsServer::Trust()
{
    std::ifstream in(folder_ + "\\tls-root.der", std::ios::binary);
    std::vector<unsigned char> root((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    HCERTSTORE store = OpenRootStore();
    if (root.empty() || !store)
        return false;
    bool added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, root.data(),
                                                  static_cast<DWORD>(root.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                  nullptr)
                 != FALSE;
    if (added)
        trustedRoot_ = root;
    return CertCloseStore(store, 0) != FALSE && added;
}

std::string LoopbackTlsServer::Url(const std::string &file) const
{
    return "https://localhost:" + std::to_string(port_) + "/" + file;
}
