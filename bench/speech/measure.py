#!/usr/bin/python3
"""Timing of spoken messages for the speech benchmark. Standard library only; every mode ends by itself
and prints one line of key=value figures (times in ms) on stdout.

  measure.py messages --to IP --spoken FILE [--count N] [--pause-ms MS] [--samples FILE]
      A colleague sends N texts one after another. For each: the time from sending the datagram to
      its acknowledgement, and to the text's arrival in FILE, which speech-dispatcher's output module
      appends to (watched with inotify); "diff" is the second minus the first, per message. One warm-up
      text first, reported as first_*: it also opens the program's connection to speech-dispatcher.
  measure.py baseline --socket PATH --spoken FILE [--count N] [--pause-ms MS]
      The same path without the program: N texts sent straight to speech-dispatcher (SSIP), timed to
      their arrival in FILE. The floor that server, module and its shell set.
"""

import argparse
import ctypes
import os
import select
import socket
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "vlan"))
import peer  # noqa: E402  (the virtual LAN's colleague: sockets and the protocol)

IN_MODIFY = 0x2
IN_NONBLOCK = os.O_NONBLOCK
IN_CLOEXEC = os.O_CLOEXEC
WAIT_S = 3.0  # a text not seen by then counts as lost


class Spoken:
    """The output file, read as it grows; woken by inotify, with a short poll as a fallback."""

    def __init__(self, path):
        self.path = path
        self.offset = os.path.getsize(path)
        self.text = ""
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(IN_NONBLOCK | IN_CLOEXEC)
        if self.fd < 0 or libc.inotify_add_watch(self.fd, path.encode(), IN_MODIFY) < 0:
            self.fd = -1

    def fileno(self):
        return self.fd

    def drain(self):
        if self.fd >= 0:
            try:
                while os.read(self.fd, 4096):
                    pass
            except BlockingIOError:
                pass
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            data = f.read()
        self.offset += len(data)
        self.text += data.decode("utf-8", errors="replace")

    def take(self, needle):
        i = self.text.find(needle)
        if i < 0:
            return False
        self.text = self.text[i + len(needle):]
        return True


def percentile(values, p):
    """Nearest rank."""
    if not values:
        return None
    s = sorted(values)
    k = max(0, min(len(s) - 1, int(-(-p * len(s) // 100)) - 1))
    return s[k]


def figures(name, values):
    parts = []
    for label, p in (("median", 50), ("p90", 90), ("p99", 99)):
        v = percentile(values, p)
        parts.append("%s_%s=%s" % (name, label, "-" if v is None else "%.3f" % v))
    parts.append("%s_max=%s" % (name, "%.3f" % max(values) if values else "-"))
    return parts


def one_message(args, ack_sock, spoken, text, msg_id):
    payload = "|".join([peer.TOKEN, args.user, args.name, args.pc, text, msg_id])
    spoken.drain()
    spoken.text = ""
    start = time.monotonic()
    ack_sock.sendto(payload.encode("utf-8"), (args.to, peer.PORT_TEXT))
    t_ack = t_spoken = None
    deadline = start + WAIT_S
    while (t_ack is None or t_spoken is None) and time.monotonic() < deadline:
        watch = [ack_sock] if t_ack is None else []
        if t_spoken is None and spoken.fileno() >= 0:
            watch.append(spoken)
        ready, _, _ = select.select(watch, [], [], 0.002 if spoken.fileno() < 0 else deadline - time.monotonic())
        now = time.monotonic()
        if ack_sock in ready:
            data, _ = ack_sock.recvfrom(65535)
            if peer.ack_accepted(data.decode("utf-8", errors="replace"), args.expect_pc, msg_id):
                t_ack = (now - start) * 1000.0
        if t_spoken is None and (spoken in ready or spoken.fileno() < 0):
            spoken.drain()
            if spoken.take(text):
                t_spoken = (now - start) * 1000.0
    return t_ack, t_spoken


def cmd_messages(args):
    ack_sock = peer.udp_socket(peer.PORT_ACK)
    spoken = Spoken(args.spoken)
    nonce = "%04X" % (os.getpid() & 0xFFFF)
    first = one_message(args, ack_sock, spoken, "Aufwärmen %s" % nonce, "%08X" % 1)
    acks, speech, diffs, lost = [], [], [], 0
    samples = open(args.samples, "w") if args.samples else None
    for i in range(args.count):
        time.sleep(args.pause_ms / 1000.0)
        t_ack, t_spoken = one_message(args, ack_sock, spoken, "Messung %03d %s" % (i, nonce), "%08X" % (i + 2))
        if samples:
            samples.write("%s\t%s\n" % ("" if t_ack is None else "%.3f" % t_ack,
                                        "" if t_spoken is None else "%.3f" % t_spoken))
        if t_ack is None or t_spoken is None:
            lost += 1
            continue
        acks.append(t_ack)
        speech.append(t_spoken)
        diffs.append(t_spoken - t_ack)
    if samples:
        samples.close()
    fmt = lambda v: "-" if v is None else "%.3f" % v  # noqa: E731
    print(" ".join(["count=%d" % len(acks), "lost=%d" % lost, "inotify=%d" % (spoken.fileno() >= 0),
                    "first_ack=%s" % fmt(first[0]), "first_speech=%s" % fmt(first[1])]
                   + figures("ack", acks) + figures("speech", speech) + figures("diff", diffs)))
    return 0 if acks else 1


def ssip(sock, line):
    sock.sendall(line.encode("utf-8") + b"\r\n")
    reply = b""
    while True:
        chunk = sock.recv(4096)
        if not chunk:
            raise OSError("speech-dispatcher closed the connection")
        reply += chunk
        # The last line of a reply has a blank after its code; earlier ones a dash.
        lines = reply.split(b"\r\n")
        if len(lines) >= 2 and len(lines[-2]) >= 4 and lines[-2][3:4] == b" ":
            return reply.decode("utf-8", errors="replace")


def cmd_baseline(args):
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.settimeout(WAIT_S)
    sock.connect(args.socket)
    ssip(sock, 'SET SELF CLIENT_NAME "bench:measure:main"')
    spoken = Spoken(args.spoken)
    times, lost = [], 0
    for i in range(args.count):
        time.sleep(args.pause_ms / 1000.0)
        text = "Grundlinie %03d" % i
        spoken.drain()
        spoken.text = ""
        start = time.monotonic()
        ssip(sock, "SPEAK")
        ssip(sock, text + "\r\n.")
        t = None
        deadline = start + WAIT_S
        while t is None and time.monotonic() < deadline:
            if spoken.fileno() >= 0:
                select.select([spoken], [], [], deadline - time.monotonic())
            else:
                time.sleep(0.002)
            now = time.monotonic()
            spoken.drain()
            if spoken.take(text):
                t = (now - start) * 1000.0
        if t is None:
            lost += 1
        else:
            times.append(t)
    ssip(sock, "QUIT")
    print(" ".join(["count=%d" % len(times), "lost=%d" % lost] + figures("speech", times)))
    return 0 if times else 1


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="mode", required=True)
    p = sub.add_parser("messages")
    p.add_argument("--to", required=True)
    p.add_argument("--spoken", required=True)
    p.add_argument("--count", type=int, default=100)
    p.add_argument("--pause-ms", type=float, default=100.0)
    p.add_argument("--samples")
    p.add_argument("--user", default="bkurz")
    p.add_argument("--name", default="Bernd Kurz")
    p.add_argument("--pc", default="PC-B")
    p.add_argument("--expect-pc", default="")
    p.set_defaults(func=cmd_messages)
    p = sub.add_parser("baseline")
    p.add_argument("--socket", required=True)
    p.add_argument("--spoken", required=True)
    p.add_argument("--count", type=int, default=100)
    p.add_argument("--pause-ms", type=float, default=100.0)
    p.set_defaults(func=cmd_baseline)
    args = ap.parse_args()
    try:
        return args.func(args)
    except OSError as e:
        print("measure: %s" % e, file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
