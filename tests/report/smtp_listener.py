#!/usr/bin/env python3
# SMTP server for the mail tests, on 127.0.0.1 only. Writes its port to
# --port-file, serves one connection at a time until killed, and records each
# accepted message as JSON in --out. --refuse answers one step with an error.
import argparse, base64, email, email.policy, json, os, socket, ssl


class Conn:
    def __init__(self, sock):
        self.sock, self.buf = sock, b""

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


def login(c, args, cmd):
    parts = cmd.split(" ")
    if parts[1].upper() == "PLAIN":
        raw = base64.b64decode(parts[2]).split(b"\0")
        return raw[1].decode() + ":" + raw[2].decode()
    c.send("334 VXNlcm5hbWU6")
    user = base64.b64decode(c.line()).decode()
    c.send("334 UGFzc3dvcmQ6")
    return user + ":" + base64.b64decode(c.line()).decode()


def serve(c, args, tls, count):
    c.send("220 localhost test SMTP")
    st = {"from": None, "rcpt": [], "user": None, "tls": False}
    while True:
        cmd = c.line()
        verb = cmd.split(" ", 1)[0].upper()
        if verb == "EHLO":
            ext = ["250-localhost"]
            if tls and not st["tls"]:
                ext.append("250-STARTTLS")
            if args.auth:
                ext.append("250-AUTH " + args.auth_methods)
            c.send("\r\n".join(ext + ["250 8BITMIME"]))
        elif verb == "STARTTLS" and tls and not st["tls"]:
            c.send("220 go ahead")
            c.sock, c.buf, st["tls"] = tls.wrap_socket(c.sock, server_side=True), b"", True
        elif verb == "AUTH" and args.auth:
            given = login(c, args, cmd)
            ok = given == args.auth
            st["user"] = given.split(":")[0] if ok else None
            c.send("235 ok" if ok else "535 bad credentials")
        elif verb == "MAIL":
            refused = "530 authentication required" if args.auth and not st["user"] else \
                "550 sender refused" if args.refuse == "mail" else None
            st["from"] = None if refused else cmd.split(":", 1)[1].strip()
            c.send(refused or "250 ok")
        elif verb == "RCPT":
            if args.refuse == "rcpt":
                c.send("550 no such user here")
            else:
                st["rcpt"].append(cmd.split(":", 1)[1].strip())
                c.send("250 ok")
        elif verb == "DATA":
            if args.refuse == "data":
                c.send("554 no data accepted")
                continue
            c.send("354 end with .")
            lines = []
            while (line := c.line()) != ".":
                lines.append(line[1:] if line.startswith(".") else line)
            if args.refuse == "end":
                c.send("554 message refused")
                continue
            count += 1
            record(args.out, count, st, "\r\n".join(lines) + "\r\n")
            c.send("250 queued")
        elif verb == "QUIT":
            c.send("221 bye")
            return count
        else:
            c.send("502 unknown command")


def record(out, count, st, data):
    msg = email.message_from_string(data, policy=email.policy.default)
    rec = {"mail_from": st["from"], "rcpt_to": st["rcpt"], "user": st["user"], "tls": st["tls"],
           "headers": {k: str(v) for k, v in msg.items()}, "content_type": msg.get_content_type(),
           "charset": msg.get_content_charset(), "body": msg.get_content().replace("\r\n", "\n"),
           "longest_line": max(len(l) for l in data.split("\r\n"))}
    path = os.path.join(out, "msg-%d.json" % count)
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        json.dump(rec, f)
    os.rename(path + ".tmp", path)


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
    srv.bind(("127.0.0.1", 0))
    srv.listen(5)
    with open(args.port_file + ".tmp", "w") as f:
        f.write(str(srv.getsockname()[1]))
    os.rename(args.port_file + ".tmp", args.port_file)
    count = 0
    while True:
        conn, _ = srv.accept()
        conn.settimeout(20)
        c = Conn(conn)
        try:
            count = serve(c, args, tls, count)
        except (OSError, ssl.SSLError, ValueError):
            pass
        finally:
            c.sock.close()


if __name__ == "__main__":
    main()
