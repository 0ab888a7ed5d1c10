#!/usr/bin/env python3
"""A small SMTP server for the mail tests, on 127.0.0.1 only.

It writes the port it listens on to --port-file, serves connections one at a
time until it is killed, and records every accepted message as JSON in --out
(envelope, whether TLS was on, who logged in, the parsed headers and the
decoded body). --refuse makes it answer one step with an error instead.
"""
import argparse
import base64
import email
import email.policy
import json
import os
import socket
import ssl


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--refuse", choices=["none", "mail", "rcpt", "data", "end"], default="none")
    ap.add_argument("--auth", help="user:password that must log in")
    ap.add_argument("--auth-methods", default="PLAIN LOGIN")
    ap.add_argument("--cert")
    ap.add_argument("--key")
    args = ap.parse_args()

    tls = None
    if args.cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(args.cert, args.key)

    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 0))
    srv.listen(5)
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(srv.getsockname()[1]))
    os.rename(tmp, args.port_file)

    count = 0
    while True:
        conn, _ = srv.accept()
        conn.settimeout(20)
        try:
            count = serve(conn, args, tls, count)
        except (OSError, ssl.SSLError, ValueError):
            pass
        finally:
            try:
                conn.close()
            except OSError:
                pass


class Conn:
    def __init__(self, sock):
        self.sock = sock
        self.buf = b""

    def line(self):
        while b"\r\n" not in self.buf:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ValueError("closed")
            self.buf += chunk
        line, self.buf = self.buf.split(b"\r\n", 1)
        return line.decode("utf-8", "replace")

    def send(self, text):
        self.sock.sendall((text + "\r\n").encode())


def serve(sock, args, tls, count):
    c = Conn(sock)
    c.send("220 localhost test SMTP")
    state = {"from": None, "rcpt": [], "user": None, "tls": False}
    while True:
        cmd = c.line()
        verb = cmd.split(" ", 1)[0].upper()
        if verb == "EHLO":
            ext = ["250-localhost"]
            if tls and not state["tls"]:
                ext.append("250-STARTTLS")
            if args.auth:
                ext.append("250-AUTH " + args.auth_methods)
            ext.append("250 8BITMIME")
            c.send("\r\n".join(ext))
        elif verb == "STARTTLS" and tls and not state["tls"]:
            c.send("220 go ahead")
            c.sock = tls.wrap_socket(c.sock, server_side=True)
            c.buf = b""
            state["tls"] = True
        elif verb == "AUTH" and args.auth:
            parts = cmd.split(" ")
            if parts[1].upper() == "PLAIN":
                raw = base64.b64decode(parts[2]).split(b"\0")
                given = raw[1].decode() + ":" + raw[2].decode()
            else:
                c.send("334 VXNlcm5hbWU6")
                user = base64.b64decode(c.line()).decode()
                c.send("334 UGFzc3dvcmQ6")
                given = user + ":" + base64.b64decode(c.line()).decode()
            if given == args.auth:
                state["user"] = given.split(":")[0]
                c.send("235 ok")
            else:
                c.send("535 bad credentials")
        elif verb == "MAIL":
            if args.auth and not state["user"]:
                c.send("530 authentication required")
            elif args.refuse == "mail":
                c.send("550 sender refused")
            else:
                state["from"] = cmd.split(":", 1)[1].strip()
                c.send("250 ok")
        elif verb == "RCPT":
            if args.refuse == "rcpt":
                c.send("550 no such user here")
            else:
                state["rcpt"].append(cmd.split(":", 1)[1].strip())
                c.send("250 ok")
        elif verb == "DATA":
            if args.refuse == "data":
                c.send("554 no data accepted")
                continue
            c.send("354 end with .")
            lines = []
            while True:
                line = c.line()
                if line == ".":
                    break
                lines.append(line[1:] if line.startswith(".") else line)
            if args.refuse == "end":
                c.send("554 message refused")
                continue
            data = "\r\n".join(lines) + "\r\n"
            count += 1
            record(args.out, count, state, data)
            c.send("250 queued")
        elif verb == "QUIT":
            c.send("221 bye")
            return count
        elif verb in ("RSET", "NOOP"):
            c.send("250 ok")
        else:
            c.send("502 unknown command")


def record(out, count, state, data):
    msg = email.message_from_string(data, policy=email.policy.default)
    rec = {
        "mail_from": state["from"],
        "rcpt_to": state["rcpt"],
        "user": state["user"],
        "tls": state["tls"],
        "headers": {k: str(v) for k, v in msg.items()},
        "content_type": msg.get_content_type(),
        "charset": msg.get_content_charset(),
        "body": msg.get_content().replace("\r\n", "\n"),
        "longest_line": max(len(l) for l in data.split("\r\n")),
    }
    tmp = os.path.join(out, "msg-%d.json.tmp" % count)
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(rec, f)
    os.rename(tmp, os.path.join(out, "msg-%d.json" % count))


if __name__ == "__main__":
    main()
