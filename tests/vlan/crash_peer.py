#!/usr/bin/python3
"""Colleagues who keep writing to a program that is killed again and again, and the check of what it kept.
Standard library only.

  crash_peer.py send --to HOST --from IP[,IP...] --acked FILE --events FILE --seconds S [--wait-ms MS]
                     [--rate N]
      Sends numbered text messages one after another, at most N a second, each from the next address
      with the partner of that address (the program limits messages per minute per address), and waits
      for each one's acknowledgement. Appends "SEQ" to --acked for every acknowledged message and
      "ack T SEQ" / "miss T SEQ" / "presence T" lines (T: epoch seconds) to --events, the last for
      every presence announcement of HOST. SIGUSR1 stops the sending ("sent N"), not the listening.
      Ends after S seconds or on SIGTERM.
  crash_peer.py check --folder DIR --acked FILE --partners N [--sent N] [--final]
      Reads the program's log folder as the program writes it and checks that every message listed
      in FILE is stored exactly once in its partner's log, that every log is whole (header, CR LF line
      ends, block headers, newest first) and that every partner with a message is in the inbox file.
      With --final also counts the messages stored although their acknowledgement never came.
      Prints one line of figures; exit 0 when all holds, 1 with the faults listed.
"""

import argparse
import os
import re
import select
import signal
import socket
import sys
import time

PORT_PRESENCE = 18181
PORT_TEXT = 18182
PORT_ACK = 18183
TOKEN = "TB1"
HARD_LIMIT_S = 900.0


def partner(i):
    """User name, display name and computer of partner i (0-based); umlauts test the file's encoding."""
    return "kolle%d" % (i + 1), "Jörg Müller %d" % (i + 1), "PC-K%d" % (i + 1)


def message_text(seq):
    # Every fourth message has two lines, so line breaks inside a block are checked too.
    text = "Testnachricht #%d: Grüße" % seq
    if seq % 4 == 0:
        text += "\r\nzweite Zeile #%d" % seq
    return text


def fields(text):
    return [f for f in text.split("|") if f]


def cmd_send(args):
    sources = args.sources.split(",")
    ack = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    ack.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    ack.bind(("0.0.0.0", PORT_ACK))
    presence = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    presence.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    presence.bind(("0.0.0.0", PORT_PRESENCE))
    senders = []
    for ip in sources:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind((ip, 0))
        senders.append(s)
    acked = open(args.acked, "a", encoding="utf-8")
    events = open(args.events, "a", encoding="utf-8")
    stop = []
    quiet = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGUSR1, lambda *_: quiet.append(1))

    def event(line):
        events.write(line + "\n")
        events.flush()

    def take(sock):
        data, (src, _sport) = sock.recvfrom(65535)
        return data.decode("utf-8", errors="replace"), src

    deadline = time.monotonic() + min(args.seconds, HARD_LIMIT_S)
    seq = 0
    stopped_sending = False
    next_send = time.monotonic()
    while not stop and time.monotonic() < deadline:
        if quiet and not stopped_sending:
            stopped_sending = True
            event("sent %d" % seq)
        now = time.monotonic()
        sending = not quiet and now >= next_send
        if sending:
            next_send = max(now, next_send + 1.0 / args.rate)
            seq += 1
            k = (seq - 1) % len(senders)
            user, name, pc = partner(k)
            msg_id = "%08X" % (0x10000000 + seq)
            payload = "|".join([TOKEN, user, name, pc, message_text(seq), msg_id]).encode("utf-8")
            senders[k].sendto(payload, (args.to, PORT_TEXT))
            until = now + args.wait_ms / 1000.0
        else:
            until = min(next_send, deadline) if not quiet else min(now + 0.1, deadline)
        got = False
        while not got and not stop:
            left = until - time.monotonic()
            if left <= 0:
                break
            try:
                ready, _, _ = select.select([ack, presence], [], [], left)
            except InterruptedError:
                continue
            for sock in ready:
                text, src = take(sock)
                f = fields(text)
                if sock is presence:
                    if src == args.to and f[:1] == [TOKEN]:
                        event("presence %.6f" % time.time())
                elif sending and len(f) >= 4 and f[0] == TOKEN and f[1].lower() == "angekommen" and f[3] == msg_id:
                    got = True
        if not sending:
            continue
        if got:
            # The acknowledgement list first: whoever reads the events may rely on it.
            acked.write("%d\n" % seq)
            acked.flush()
            event("ack %.6f %d" % (time.time(), seq))
        else:
            event("miss %.6f %d" % (time.time(), seq))
    if not stopped_sending:
        event("sent %d" % seq)
    return 0


def decode(raw):
    """The program's own files: UTF-8 with a byte-order mark, else the ANSI code page (Windows-1252)."""
    if raw.startswith(b"\xef\xbb\xbf"):
        return raw[3:].decode("utf-8")
    return raw.decode("cp1252", errors="replace")


HEADER = re.compile(r"^Nachricht (von|an) (.*) \((\d\d)\.(\d\d)\.(\d{4}) (\d\d):(\d\d):(\d\d)\):$")
SEQ = re.compile(r"^Testnachricht #(\d+): Grüße$")


def read_log(path, faults):
    """Sequence numbers of the log's messages, top to bottom, and its header fields."""
    name = os.path.basename(path)
    try:
        text = decode(open(path, "rb").read())
    except (OSError, UnicodeDecodeError) as e:
        faults.append("%s: unreadable: %s" % (name, e))
        return None, []
    if not text.endswith("\r\n"):
        faults.append("%s: torn, does not end with CR LF (last bytes %r)" % (name, text[-20:]))
    body = text[:-2] if text.endswith("\r\n") else text
    lines = body.split("\r\n")
    if any("\r" in line or "\n" in line for line in lines):
        faults.append("%s: a CR or LF alone" % name)
    header = lines[0].split("|")
    seqs = []
    i = 1
    while i < len(lines):
        m = HEADER.match(lines[i])
        if not m or i + 1 >= len(lines):
            faults.append("%s line %d: not a whole block: %r" % (name, i + 1, lines[i][:80]))
            i += 1
            continue
        s = SEQ.match(lines[i + 1])
        if not s:
            faults.append("%s line %d: not one of the test's messages: %r" % (name, i + 2, lines[i + 1][:80]))
            i += 2
            continue
        seq = int(s.group(1))
        i += 2
        if seq % 4 == 0:
            if i >= len(lines) or lines[i] != "zweite Zeile #%d" % seq:
                faults.append("%s: message #%d lost its second line" % (name, seq))
            else:
                i += 1
        seqs.append(seq)
    return header, seqs


def cmd_check(args):
    faults = []
    folder = args.folder
    acked = []
    try:
        raw = open(args.acked, encoding="utf-8").read()
    except OSError:
        raw = ""
    for line in raw.split("\n")[:-1]:  # a last line without its end is still being written
        if line.strip():
            acked.append(int(line))
    names = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    aside = [n for n in names if re.search(r"\.bad", n, re.I)]
    for n in aside:
        faults.append("set aside: %s" % n)
    # Anything else unexpected is named, not failed: a later version may keep files of its own there.
    others = [n for n in names if n not in aside and n != "Eingang.txt" and not n.endswith(".log")]

    stored = {}  # seq -> partner index
    count_twice = 0
    for k in range(args.partners):
        user, name, pc = partner(k)
        path = os.path.join(folder, "%s_%s.log" % (user, pc))
        if not os.path.exists(path):
            continue
        header, seqs = read_log(path, faults)
        if header is None:
            continue
        if header != [user, name, pc]:
            faults.append("%s: header %r" % (os.path.basename(path), "|".join(header)))
        if any(a <= b for a, b in zip(seqs, seqs[1:])):
            faults.append("%s: blocks not newest first" % os.path.basename(path))
        for seq in seqs:
            if seq in stored:
                count_twice += 1
                faults.append("message #%d stored twice" % seq)
            stored[seq] = k
            if (seq - 1) % args.partners != k:
                faults.append("message #%d in the log of another partner" % seq)

    try:
        inbox = decode(open(os.path.join(folder, "Eingang.txt"), "rb").read())
        if inbox and not inbox.endswith("\r\n"):
            faults.append("Eingang.txt: torn, does not end with CR LF")
        keys = {line.strip().lower() for line in inbox.split("\r\n") if line.strip()}
    except (OSError, UnicodeDecodeError) as e:
        keys = set()
        if acked:
            faults.append("Eingang.txt: unreadable: %s" % e)

    lost = [seq for seq in acked if seq not in stored]
    if lost:
        faults.append("%d acknowledged messages missing: #%s" % (len(lost), ", #".join(map(str, lost[:30]))))
    for k in sorted({(seq - 1) % args.partners for seq in acked}):
        user, _name, pc = partner(k)
        if ("%s_%s" % (user, pc)).lower() not in keys:
            faults.append("partner %s_%s with acknowledged messages is not in Eingang.txt" % (user, pc))

    figures = "acknowledged %d, stored %d, lost %d" % (len(acked), len(stored), len(lost))
    if args.final:
        extra = len(set(stored) - set(acked))
        figures += ", stored but not acknowledged %d" % extra
        if args.sent:
            figures += ", sent %d" % args.sent
    if others:
        figures += ", other files: %s" % " ".join(others)
    print(figures)
    for fault in faults[:40]:
        print("  fault: %s" % fault)
    return 1 if faults else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="mode", required=True)
    p = sub.add_parser("send")
    p.add_argument("--to", required=True)
    p.add_argument("--from", dest="sources", required=True, help="source addresses, comma-separated")
    p.add_argument("--acked", required=True)
    p.add_argument("--events", required=True)
    p.add_argument("--seconds", type=float, default=60.0)
    p.add_argument("--wait-ms", type=float, default=500.0)
    p.add_argument("--rate", type=float, default=100.0, help="messages a second at most")
    p.set_defaults(func=cmd_send)
    p = sub.add_parser("check")
    p.add_argument("--folder", required=True)
    p.add_argument("--acked", required=True)
    p.add_argument("--partners", type=int, required=True)
    p.add_argument("--sent", type=int, default=0)
    p.add_argument("--final", action="store_true")
    p.set_defaults(func=cmd_check)
    args = ap.parse_args()
    try:
        return args.func(args)
    except OSError as e:
        print("crash_peer: %s" % e, file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
