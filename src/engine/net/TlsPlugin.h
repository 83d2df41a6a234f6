#pragma once

#include "core/Plugin.h"

#include <cstddef>
#include <cstdint>

// The table of libvextral-tls.so (src/plugins/tls/), the plugin that links
// OpenSSL for TcpConnection's TLS. Only this header is shared: the engine has
// no OpenSSL header and no link to it. Change the version whenever the
// layout or the meaning of a field changes.

namespace vextral::net {

inline constexpr char kTlsPluginFile[] = "libvextral-tls.so";
inline constexpr char kTlsPluginEntry[] = "vextral_tls_plugin";
inline constexpr std::uint32_t kTlsPluginVersion = 1;
// The Debian package of the OpenSSL library the plugin is linked with.
inline constexpr char kTlsPackage[] = "libssl3";

// One TLS client session over a connected socket; the plugin's own.
struct TlsSession;

// How one step of a session ended.
enum class TlsStep : std::uint32_t {
    Done,
    WantRead,  // wait until the socket can be read, then call again
    WantWrite, // wait until the socket can be written, then call again
    Closed,    // the peer closed the connection
    Failed,    // the error text says why
};

struct TlsPlugin {
    PluginHeader header;
    // A session over the socket fd that verifies the server's certificate
    // against the system's trust store (OpenSSL's default paths, so
    // SSL_CERT_FILE is honoured) and its name: serverName is a host name, or
    // an IP address when address is true. Null, with the reason in error,
    // when it cannot be made. Ignoring SIGPIPE is the caller's.
    TlsSession* (*open)(int fd, const char* serverName, bool address, char* error, std::size_t errorSize);
    // The handshake: Done, WantRead, WantWrite or Failed.
    TlsStep (*handshake)(TlsSession* session, char* error, std::size_t errorSize);
    // Writes some of the bytes (*written of them): Done, WantRead, WantWrite,
    // Closed or Failed (the error text set for both of these).
    TlsStep (*write)(TlsSession* session, const void* data, std::size_t size, std::size_t* written, char* error,
                     std::size_t errorSize);
    // Reads at most size bytes (*got of them): Done, WantRead, WantWrite,
    // Closed or Failed (the error text set).
    TlsStep (*read)(TlsSession* session, void* data, std::size_t size, std::size_t* got, char* error,
                    std::size_t errorSize);
    // Sends close_notify, never waiting.
    void (*shutdown)(TlsSession* session);
    // Frees the session (the socket stays the caller's).
    void (*close)(TlsSession* session);
};

} // namespace vextral::net
