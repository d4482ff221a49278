#!/usr/bin/env python3
"""Stand-in report server for the crash report tests.

Listens on 127.0.0.1 (port 80 unless told otherwise), records every request
it receives byte for byte and answers it in the way it was told to. It talks
to the test through files in one folder (Unix path given with --dir):

  ready           written once the port is listening
  request-N.bin   raw bytes of request N (1, 2, ...), written whole
  release         with --hold, each answer waits until this file exists
  stop            the server stops when this file appears
  exited          written last, when the port is closed again

It stops after --requests requests, when "stop" appears, or after
--timeout seconds, whichever comes first.

With --real it is the project's own report server (server/vreport.py)
instead, on the same port and with the same files, until "stop" appears or
the time is up: its SQLite file is reports.sqlite3 in the folder and its
summary password the first line of the folder's file "password".
"""
import argparse
import os
import select
import socket
import sys
import threading
import time

def answer(status, body, content_type=b"text/plain"):
    return (b"HTTP/1.1 " + status + b"\r\nContent-Type: " + content_type +
            b"\r\nContent-Length: " + str(len(body)).encode() +
            b"\r\nConnection: close\r\n\r\n" + body)


ANSWERS = {
    "ok": answer(b"200 OK", b"OK"),  # exactly the acknowledgement
    "ok-crlf": answer(b"200 OK", b"OK\r\n"),
    "lower": answer(b"200 OK", b"ok"),
    "empty": answer(b"200 OK", b""),
    "error-page": answer(b"404 Not Found",
                         b"<html><body><h1>Not Found</h1></body></html>\r\n",
                         b"text/html"),
    "status500-ok": answer(b"500 Internal Server Error", b"OK"),
}


def write_whole(path, data):
    """Writes a file so that a reader never sees it half written."""
    partial = path + ".part"
    with open(partial, "wb") as f:
        f.write(data)
    os.rename(partial, path)


def read_request(conn, deadline):
    """Reads one HTTP request: the head, then Content-Length bytes of body."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = recv_until(conn, deadline)
        if not chunk:
            return data
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(body) < length:
        chunk = recv_until(conn, deadline)
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n" + body


def recv_until(conn, deadline):
    remaining = deadline - time.monotonic()
    if remaining <= 0:
        return b""
    ready, _, _ = select.select([conn], [], [], remaining)
    return conn.recv(65536) if ready else b""


def serve_real(args, end):
    """The real report server, stopped the way the stand-in is."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                    "..", "..", "..", "server"))
    import vreport
    stop_file = os.path.join(args.dir, "stop")
    password = vreport.read_password(os.path.join(args.dir, "password"))
    app = vreport.make_app(os.path.join(args.dir, "reports.sqlite3"), password,
                           symbol_folder=args.symbols)
    try:
        server = vreport.make_server("127.0.0.1", args.port, app, quiet=True)
    except OSError:
        write_whole(os.path.join(args.dir, "exited"), b"")
        raise
    thread = threading.Thread(target=server.serve_forever)
    thread.start()
    try:
        write_whole(os.path.join(args.dir, "ready"), b"")
        while not os.path.exists(stop_file) and time.monotonic() < end:
            time.sleep(0.05)
    finally:
        server.shutdown()
        server.server_close()
        thread.join()
        write_whole(os.path.join(args.dir, "exited"), b"")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--answer", default="ok",
                        help="answer names, comma-separated: one per request, "
                             "the last one repeated (%s)" % ", ".join(sorted(ANSWERS)))
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--requests", type=int, default=1)
    parser.add_argument("--hold", action="store_true")
    parser.add_argument("--timeout", type=float, default=120.0)
    parser.add_argument("--real", action="store_true")
    parser.add_argument("--symbols", help="with --real: the folder of symbol files")
    args = parser.parse_args()
    if args.real:
        return serve_real(args, time.monotonic() + args.timeout)
    answers = args.answer.split(",")
    for name in answers:
        if name not in ANSWERS:
            parser.error("unknown answer %r" % name)

    stop_file = os.path.join(args.dir, "stop")
    release_file = os.path.join(args.dir, "release")
    end = time.monotonic() + args.timeout
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        listener.bind(("127.0.0.1", args.port))
        listener.listen(4)
        write_whole(os.path.join(args.dir, "ready"), b"")
        served = 0
        while served < args.requests and time.monotonic() < end:
            if os.path.exists(stop_file):
                break
            ready, _, _ = select.select([listener], [], [], 0.05)
            if not ready:
                continue
            conn, _ = listener.accept()
            with conn:
                request = read_request(conn, time.monotonic() + 30)
                served += 1
                write_whole(os.path.join(args.dir, "request-%d.bin" % served), request)
                while args.hold and not os.path.exists(release_file):
                    if os.path.exists(stop_file) or time.monotonic() > end:
                        break
                    time.sleep(0.02)
                conn.sendall(ANSWERS[answers[min(served, len(answers)) - 1]])
                conn.shutdown(socket.SHUT_WR)
                # Let the client read the answer before the socket goes.
                recv_until(conn, time.monotonic() + 2)
    finally:
        listener.close()
        write_whole(os.path.join(args.dir, "exited"), b"")


if __name__ == "__main__":
    main()
