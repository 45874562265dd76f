// A TLS web server on 127.0.0.1 for the import tests: the machine's Python serves the files of a
// folder with a certificate for "localhost" that the machine's openssl made for this run, either
// self-signed and trusted by nobody, or issued by a throwaway root that Trust() adds to the
// prefix's Root store for the object's lifetime.
//
// What Wine's secure connections need for a trusted server:
// - the root in the Root store's registry copy: the store of the "system registry" provider,
//   closed after the change (an open store writes nothing; a change through the combined system
//   store is not written back at all);
// - a process that trusts it makes its first secure connection after Trust(): each process reads
//   the Root store once, at that connection;
// - a URL that names the server by a DNS name of the certificate: an IP address is not matched
//   against the certificate's addresses, so the URL says "localhost".
// The server's life is bounded by timeout(1).
#ifndef TESTS_CLIENT_SHELL_TLS_SERVER_H
#define TESTS_CLIENT_SHELL_TLS_SERVER_H

#include <string>
#include <vector>

class LoopbackTlsServer {
public:
    enum class Certificate { SelfSigned, FromTestRoot };

    // Makes the keys and certificates in folder (a Windows path), starts serving that folder and
    // waits (bounded) until the server listens.
    LoopbackTlsServer(const std::string &folder, Certificate certificate);
    // Takes the root out of the Root store again when Trust() put it there.
    ~LoopbackTlsServer();
    LoopbackTlsServer(const LoopbackTlsServer &) = delete;
    LoopbackTlsServer &operator=(const LoopbackTlsServer &) = delete;

    // The server listens.
    bool Ready() const { return ready_; }
    // The test root becomes trusted by processes that connect from now on.
    bool Trust();
    // "https://localhost:PORT/file".
    std::string Url(const std::string &file) const;

private:
    std::string folder_;
    int port_ = 0;
    bool ready_ = false;
    std::vector<unsigned char> trustedRoot_;
};

#endif
