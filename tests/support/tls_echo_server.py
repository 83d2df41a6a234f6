"""A TLS echo server for the connection tests: python3 tls_echo_server.py PORTFILE CERT KEY.

Listens on 127.0.0.1 (a free port written to PORTFILE), completes the TLS
handshake with the given certificate and echoes what it receives until the
client closes. Runs until killed.
"""
import socket
import ssl
import sys
import threading


def serve(conn, context):
    try:
        with context.wrap_socket(conn, server_side=True) as tls:
            while True:
                data = tls.recv(4096)
                if not data:
                    break
                tls.sendall(data)
    except (OSError, ssl.SSLError):
        pass


def main():
    port_file, cert, key = sys.argv[1:4]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    import os
    os.rename(port_file + ".tmp", port_file)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, context), daemon=True).start()


main()
