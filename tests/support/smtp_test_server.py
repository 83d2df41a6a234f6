"""The SMTP server of the mail client tests, built on Debian's aiosmtpd.

    python3 smtp_test_server.py PORTFILE OUTDIR [--tls-mode none|starttls|tls]
        [--cert FILE --key FILE] [--login USER:PASSWORD [--only-login]] [--reject ADDRESS]

Listens on 127.0.0.1 (a free port written to PORTFILE). Every accepted
transaction is stored as OUTDIR/mail-N.txt (N from 1): lines "helo: NAME",
"ehlo: 0|1", "tls: 0|1", "login: USER", "from: SENDER", one "to: ADDRESS"
for each recipient, an empty line, then the message text as received; the
message text alone goes to OUTDIR/mail-N.eml. A RCPT TO of the --reject
address gets "550 No such user here". With --login the server offers AUTH
PLAIN and LOGIN (LOGIN alone with --only-login), accepts only that user and
password, and appends every try as "USER PASSWORD" to OUTDIR/logins.txt.
Runs until killed.
"""
import argparse
import asyncio
import os
import ssl
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Handler:
    def __init__(self, outdir, reject):
        self.outdir = outdir
        self.reject = reject
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.reject and address == self.reject:
            return "550 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        head = ["helo: %s" % session.host_name,
                "ehlo: %d" % bool(session.extended_smtp),
                "tls: %d" % (server.transport.get_extra_info("sslcontext") is not None),
                "login: %s" % (session.auth_data if session.authenticated else ""),
                "from: %s" % envelope.mail_from]
        head += ["to: %s" % address for address in envelope.rcpt_tos]
        base = os.path.join(self.outdir, "mail-%d" % self.count)
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".eml.tmp", base + ".eml")
        with open(base + ".txt.tmp", "wb") as f:
            f.write(("\n".join(head) + "\n\n").encode("utf-8") + envelope.original_content)
        os.rename(base + ".txt.tmp", base + ".txt")
        return "250 Message accepted for delivery"


def main():
    warnings.simplefilter("ignore", DeprecationWarning)
    parser = argparse.ArgumentParser()
    parser.add_argument("portfile")
    parser.add_argument("outdir")
    parser.add_argument("--tls-mode", default="none")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--login")
    parser.add_argument("--reject")
    parser.add_argument("--only-login", action="store_true")
    args = parser.parse_args()

    context = None
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)

    authenticator = None
    if args.login:
        user, password = args.login.split(":", 1)

        def authenticator(server, session, envelope, mechanism, auth_data):
            if not isinstance(auth_data, LoginPassword):
                return AuthResult(success=False, handled=False)
            with open(os.path.join(args.outdir, "logins.txt"), "a") as f:
                f.write("%s %s\n" % (auth_data.login.decode(), auth_data.password.decode()))
            ok = auth_data.login.decode() == user and auth_data.password.decode() == password
            return AuthResult(success=ok, handled=False, auth_data=user if ok else None)

    handler = Handler(args.outdir, args.reject)

    def factory():
        kwargs = {"hostname": "test.smtp.local", "authenticator": authenticator,
                  "auth_require_tls": args.tls_mode == "starttls"}
        if args.only_login:
            kwargs["auth_exclude_mechanism"] = ["PLAIN"]
        if args.tls_mode == "starttls":
            kwargs["tls_context"] = context
            kwargs["require_starttls"] = True
        return SMTP(handler, **kwargs)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(loop.create_server(
        factory, "127.0.0.1", 0, ssl=context if args.tls_mode == "tls" else None))
    port = server.sockets[0].getsockname()[1]
    with open(args.portfile + ".tmp", "w") as f:
        f.write(str(port))
    os.rename(args.portfile + ".tmp", args.portfile)
    loop.run_forever()


main()
