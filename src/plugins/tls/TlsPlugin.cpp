// libvextral-tls.so: OpenSSL behind the table of net/TlsPlugin.h. The engine
// (net/TcpConnection.cpp) loads it when a connection first starts TLS; the
// socket, its waits and its limits stay the engine's, and each call here does
// one non-blocking step. Nothing thrown here leaves the plugin.

#include "net/TlsPlugin.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

using vextral::net::TlsPlugin;
using vextral::net::TlsStep;

struct vextral::net::TlsSession {
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    ~TlsSession()
    {
        if (ssl) SSL_free(ssl);
        if (ctx) SSL_CTX_free(ctx);
    }
};

namespace {

using vextral::net::TlsSession;

void copyText(const std::string& text, char* out, std::size_t size)
{
    if (!out || size == 0) return;
    const std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

// OpenSSL's queue of errors, in its words, oldest first.
std::string opensslErrors()
{
    std::string text;
    while (unsigned long code = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        if (!text.empty()) text += "; ";
        text += buffer;
    }
    return text;
}

TlsSession* openSession(int fd, const char* serverName, bool address, char* error, std::size_t errorSize)
{
    ERR_clear_error();
    auto* session = new (std::nothrow) TlsSession;
    if (!session) {
        copyText("out of memory", error, errorSize);
        return nullptr;
    }
    session->ctx = SSL_CTX_new(TLS_client_method());
    if (!session->ctx) {
        copyText(opensslErrors(), error, errorSize);
        delete session;
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(session->ctx, TLS1_2_VERSION);
    // Honours SSL_CERT_FILE and SSL_CERT_DIR, else the system's store.
    SSL_CTX_set_default_verify_paths(session->ctx);
    SSL_CTX_set_verify(session->ctx, SSL_VERIFY_PEER, nullptr);
    // A peer that closes without close_notify is a closed connection, not an
    // error, as it is for plain TCP.
    SSL_CTX_set_options(session->ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    session->ssl = SSL_new(session->ctx);
    if (!session->ssl || SSL_set_fd(session->ssl, fd) != 1) {
        copyText(opensslErrors(), error, errorSize);
        delete session;
        return nullptr;
    }
    bool named = false;
    if (address) {
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session->ssl), serverName) == 1;
    } else {
        named = SSL_set_tlsext_host_name(session->ssl, serverName) == 1 && SSL_set1_host(session->ssl, serverName) == 1;
    }
    if (!named) {
        copyText(std::string("invalid server name: ") + serverName, error, errorSize);
        delete session;
        return nullptr;
    }
    return session;
}

TlsStep handshake(TlsSession* session, char* error, std::size_t errorSize)
{
    ERR_clear_error();
    const int result = SSL_connect(session->ssl);
    if (result == 1) return TlsStep::Done;
    const int code = SSL_get_error(session->ssl, result);
    if (code == SSL_ERROR_WANT_READ) return TlsStep::WantRead;
    if (code == SSL_ERROR_WANT_WRITE) return TlsStep::WantWrite;
    const long verify = SSL_get_verify_result(session->ssl);
    if (verify != X509_V_OK)
        copyText(std::string("certificate verify failed: ") + X509_verify_cert_error_string(verify), error, errorSize);
    else if (std::string errors = opensslErrors(); !errors.empty())
        copyText(errors, error, errorSize);
    else
        copyText("the server closed the connection during the TLS handshake", error, errorSize);
    return TlsStep::Failed;
}

TlsStep writeSome(TlsSession* session, const void* data, std::size_t size, std::size_t* written, char* error,
                  std::size_t errorSize)
{
    ERR_clear_error();
    *written = 0;
    if (SSL_write_ex(session->ssl, data, size, written) == 1) return TlsStep::Done;
    const int code = SSL_get_error(session->ssl, 0);
    if (code == SSL_ERROR_WANT_READ) return TlsStep::WantRead;
    if (code == SSL_ERROR_WANT_WRITE) return TlsStep::WantWrite;
    copyText(opensslErrors(), error, errorSize);
    return code == SSL_ERROR_ZERO_RETURN || code == SSL_ERROR_SYSCALL ? TlsStep::Closed : TlsStep::Failed;
}

TlsStep readSome(TlsSession* session, void* data, std::size_t size, std::size_t* got, char* error,
                 std::size_t errorSize)
{
    ERR_clear_error();
    *got = 0;
    if (SSL_read_ex(session->ssl, data, size, got) == 1) return TlsStep::Done;
    const int code = SSL_get_error(session->ssl, 0);
    if (code == SSL_ERROR_WANT_READ) return TlsStep::WantRead;
    if (code == SSL_ERROR_WANT_WRITE) return TlsStep::WantWrite;
    if (code == SSL_ERROR_ZERO_RETURN || code == SSL_ERROR_SYSCALL) return TlsStep::Closed;
    copyText(opensslErrors(), error, errorSize);
    return TlsStep::Failed;
}

void sendCloseNotify(TlsSession* session) { SSL_shutdown(session->ssl); }

void closeSession(TlsSession* session) { delete session; }

constexpr TlsPlugin kTable {
    {vextral::net::kTlsPluginVersion, sizeof(TlsPlugin)},
    openSession,
    handshake,
    writeSome,
    readSome,
    sendCloseNotify,
    closeSession,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const TlsPlugin* vextral_tls_plugin() { return &kTable; }
