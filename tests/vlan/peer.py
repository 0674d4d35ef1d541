#!/usr/bin/python3
"""A simulated colleague on the virtual LAN: announces itself, records and acknowledges datagrams,
sends texts and commands. Standard library only. Every mode ends by itself within its time limit.

  peer.py listen  [--port P]... [--seconds S] [--out FILE] [--ready FILE] [--ack [--reply TEXT]]
                  [--announce BCAST [--every S]] [--stop-after N --match-field 4=PC-A]
  peer.py presence --to BCAST [--every S] [--count N] [--offline]
  peer.py send-text --to HOST --text T [--id HEX] [--wait-ms MS] [--expect-pc PC]
  peer.py command --to HOST WORD [ARG]
  peer.py filter FILE [--src IP] [--field N=VALUE]... [--after T] [--count | --print t,sport,f4]

Records are JSON lines: {"t": epoch seconds, "src": ip, "sport": port, "dst": header destination,
"port": local port, "payload": text, "fields": [...]} with fields split by the protocol's rule
(runs of characters other than "|"; field 1 is fields[0]).
"""

import argparse
import json
import os
import pwd
import select
import signal
import socket
import struct
import sys
import time

PORT_COMMAND = 18180
PORT_PRESENCE = 18181
PORT_TEXT = 18182
PORT_ACK = 18183
TOKEN = "TB1"
HARD_LIMIT_S = 120.0  # no mode may run longer than this, whatever it is asked
IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)


def fields(text):
    return [f for f in text.split("|") if f]


def field(text, n):
    f = fields(text)
    return f[n - 1] if 0 < n <= len(f) else ""


def own_pc():
    return socket.gethostname().split(".")[0].upper()


def own_user():
    try:
        return pwd.getpwuid(os.geteuid()).pw_name
    except KeyError:
        return os.environ.get("USER", "user")


def clamp(seconds):
    return max(0.0, min(float(seconds), HARD_LIMIT_S))


def udp_socket(port=0, broadcast=False, pktinfo=False):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    # Lets a peer share a port with the program in the same host; broadcasts reach both.
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if broadcast:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    if pktinfo:
        s.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
    s.bind(("0.0.0.0", port))
    return s


def receive(sock):
    data, anc, _flags, (src, sport) = sock.recvmsg(65535, socket.CMSG_SPACE(12))
    dst = None
    for level, kind, blob in anc:
        if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(blob) >= 12:
            dst = socket.inet_ntoa(struct.unpack("I4s4s", blob[:12])[2])
    text = data.decode("utf-8", errors="replace")
    return {
        "t": round(time.time(), 6),
        "src": src,
        "sport": sport,
        "dst": dst,
        "port": sock.getsockname()[1],
        "payload": text,
        "fields": fields(text),
        "bytes": len(data),
    }


def presence_text(args, online):
    parts = [
        TOKEN,
        args.user,
        args.name or args.user,
        args.pc,
        str(args.state),
        "1" if online else "0",
        args.since,
        "1",
        str(args.users),
    ]
    return "|".join(parts)


def emit(out, record):
    out.write(json.dumps(record, ensure_ascii=False) + "\n")
    out.flush()


def parse_matches(items):
    matches = []
    for item in items or []:
        n, _, value = item.partition("=")
        matches.append((int(n), value))
    return matches


def matches_record(rec, src, port, field_matches):
    if src and not (rec["src"] == src or (src.endswith(".") and rec["src"].startswith(src))):
        return False
    if port and rec["port"] != port:
        return False
    f = rec["fields"]
    return all(n - 1 < len(f) and f[n - 1] == v for n, v in field_matches)


def cmd_listen(args):
    ports = args.port or [PORT_PRESENCE]
    if args.ack and PORT_TEXT not in ports:
        ports.append(PORT_TEXT)
    socks = {p: udp_socket(p, broadcast=True, pktinfo=True) for p in ports}
    ack_sock = socks.get(PORT_ACK)
    if args.ack and ack_sock is None:
        try:
            ack_sock = udp_socket(PORT_ACK)
        except OSError:
            ack_sock = udp_socket(0)
    announce = udp_socket(0, broadcast=True) if args.announce else None
    out = open(args.out, "a", encoding="utf-8") if args.out else sys.stdout
    try:
        if args.ready:
            with open(args.ready, "w") as f:
                f.write(str(os.getpid()))
        listen_loop(args, out, socks, ack_sock, announce)
    finally:
        # A colleague that is stopped early still says goodbye.
        if announce is not None and args.offline_at_end:
            announce.sendto(presence_text(args, False).encode(), (args.announce, PORT_PRESENCE))
        if out is not sys.stdout:
            out.close()
    return 0


def listen_loop(args, out, socks, ack_sock, announce):
    field_matches = parse_matches(args.match_field)
    deadline = time.monotonic() + clamp(args.seconds)
    next_announce = time.monotonic()
    pending_acks = []  # (due, text, address)
    pending_replies = []  # (due, text, host): answers to received texts
    hits = 0
    while True:
        now = time.monotonic()
        if now >= deadline:
            return
        if announce is not None and now >= next_announce:
            announce.sendto(presence_text(args, True).encode(), (args.announce, PORT_PRESENCE))
            next_announce = now + max(0.05, args.every)
        for _due, text, addr in [a for a in pending_acks if a[0] <= now]:
            ack_sock.sendto(text.encode(), addr)
            emit(out, {"t": round(time.time(), 6), "sent": text, "to": addr[0], "to_port": addr[1]})
        pending_acks = [a for a in pending_acks if a[0] > now]
        for _due, text, host in [r for r in pending_replies if r[0] <= now]:
            socks[PORT_TEXT].sendto(text.encode("utf-8"), (host, PORT_TEXT))
            emit(out, {"t": round(time.time(), 6), "sent": text, "to": host, "to_port": PORT_TEXT})
        pending_replies = [r for r in pending_replies if r[0] > now]

        wake = [deadline]
        if announce is not None:
            wake.append(next_announce)
        wake.extend(a[0] for a in pending_acks)
        wake.extend(r[0] for r in pending_replies)
        ready, _, _ = select.select(list(socks.values()), [], [], max(0.0, min(wake) - now))
        for sock in ready:
            rec = receive(sock)
            emit(out, rec)
            f = rec["fields"]
            if args.ack and rec["port"] == PORT_TEXT and len(f) >= 6 and f[0] == TOKEN:
                ack = "|".join([TOKEN, "Angekommen", args.ack_pc or args.pc, f[5]])
                pending_acks.append((time.monotonic() + args.ack_delay_ms / 1000.0, ack, (rec["src"], PORT_ACK)))
                if args.reply:
                    msg_id = "%08X" % (int(time.monotonic() * 1000) & 0xFFFFFFFF)
                    reply = "|".join([TOKEN, args.user, args.name or args.user, args.pc, args.reply, msg_id])
                    pending_replies.append((time.monotonic() + args.reply_delay_ms / 1000.0, reply, rec["src"]))
            if matches_record(rec, args.match_src, None, field_matches):
                hits += 1
        if args.stop_after and hits >= args.stop_after:
            return


def cmd_presence(args):
    sock = udp_socket(0, broadcast=True)
    deadline = time.monotonic() + clamp(args.every * args.count + 1)
    for i in range(args.count):
        if time.monotonic() > deadline:
            break
        text = presence_text(args, not args.offline)
        sock.sendto(text.encode(), (args.to, PORT_PRESENCE))
        emit(sys.stdout, {"t": round(time.time(), 6), "sent": text, "to": args.to})
        if i + 1 < args.count:
            time.sleep(args.every)
    return 0


def ack_accepted(text, want_pc, want_id):
    f = fields(text)
    if len(f) < 4 or f[0] != TOKEN or f[1].lower() != "angekommen":
        return False
    return f[3].lower() == want_id.lower() and (not want_pc or f[2].lower() == want_pc.lower())


def cmd_send_text(args):
    msg_id = args.id or "%08X" % (int(time.monotonic() * 1000) & 0xFFFFFFFF)
    ack = udp_socket(PORT_ACK)
    sender = ack if args.sport == PORT_ACK else udp_socket(args.sport)
    text = "|".join([TOKEN, args.user, args.name or args.user, args.pc, args.text, msg_id])
    addr = socket.gethostbyname(args.to)
    start = time.monotonic()
    sender.sendto(text.encode("utf-8"), (addr, PORT_TEXT))
    deadline = start + clamp(args.wait_ms / 1000.0)
    result = {"sent": text, "to": addr, "id": msg_id, "ack": False, "others": []}
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([ack], [], [], left)
        if not ready:
            break
        data, (src, _sport) = ack.recvfrom(65535)
        reply = data.decode("utf-8", errors="replace")
        if ack_accepted(reply, args.expect_pc, msg_id):
            result.update(ack=True, reply=reply, src=src, rtt_ms=round((time.monotonic() - start) * 1000.0, 3))
            break
        result["others"].append({"src": src, "payload": reply})
    emit(sys.stdout, result)
    return 0 if result["ack"] else 1


def cmd_command(args):
    sock = udp_socket(0, broadcast=True)
    parts = [TOKEN, args.word] + ([args.arg] if args.arg is not None else [])
    text = "|".join(parts)
    sock.sendto(text.encode("utf-8"), (socket.gethostbyname(args.to), PORT_COMMAND))
    emit(sys.stdout, {"t": round(time.time(), 6), "sent": text, "to": args.to})
    return 0


def record_value(rec, key):
    if key.startswith("f") and key[1:].isdigit():
        n = int(key[1:])
        return rec["fields"][n - 1] if 0 < n <= len(rec["fields"]) else ""
    return rec.get(key, "")


def cmd_filter(args):
    field_matches = parse_matches(args.field)
    found = []
    with open(args.file, encoding="utf-8") as f:
        for line in f:
            try:
                rec = json.loads(line)
            except ValueError:
                continue  # a line cut short when the listener was stopped
            if "payload" not in rec or not matches_record(rec, args.src, args.port, field_matches):
                continue
            if args.dst and rec["dst"] != args.dst:
                continue
            if (args.after is not None and rec["t"] < args.after) or (args.before is not None and rec["t"] >= args.before):
                continue
            found.append(rec)
    if args.count:
        print(len(found))
    elif args.print:
        keys = args.print.split(",")
        for rec in found:
            print("\t".join(str(record_value(rec, k)) for k in keys))
    else:
        for rec in found:
            print(json.dumps(rec, ensure_ascii=False))
    return 0


def identity_options(p):
    p.add_argument("--user", default=own_user())
    p.add_argument("--name", default="", help="display name (default: the user name)")
    p.add_argument("--pc", default=own_pc(), help="computer name (default: the host name, upper case)")
    p.add_argument("--state", type=int, default=0, help="0 online, 1 away, 2 busy")
    p.add_argument("--since", default="", help="field 7, hh:mm:ss (default: the start time)")
    p.add_argument("--users", type=int, default=1, help="field 9: size of the own online list")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="mode", required=True)

    p = sub.add_parser("listen", help="record (and optionally acknowledge) datagrams for a while")
    identity_options(p)
    p.add_argument("--port", type=int, action="append", help="port to listen on (repeatable; default 18181)")
    p.add_argument("--seconds", type=float, default=5.0)
    p.add_argument("--out", help="append JSON lines here (default: stdout)")
    p.add_argument("--ready", help="file written once the ports are open")
    p.add_argument("--ack", action="store_true", help="acknowledge text datagrams (listens on 18182)")
    p.add_argument("--ack-delay-ms", type=float, default=0.0)
    p.add_argument("--ack-pc", default="", help="computer name in the acknowledgement (default --pc)")
    p.add_argument("--reply", default="", help="answer every acknowledged text with this text")
    p.add_argument("--reply-delay-ms", type=float, default=800.0)
    p.add_argument("--announce", help="also send presence to this broadcast address")
    p.add_argument("--every", type=float, default=3.0)
    p.add_argument("--offline-at-end", action="store_true")
    p.add_argument("--stop-after", type=int, default=0, help="end after N datagrams matching the --match options")
    p.add_argument("--match-src")
    p.add_argument("--match-field", action="append", metavar="N=VALUE")
    p.set_defaults(func=cmd_listen)

    p = sub.add_parser("presence", help="send presence datagrams")
    identity_options(p)
    p.add_argument("--to", required=True)
    p.add_argument("--every", type=float, default=3.0)
    p.add_argument("--count", type=int, default=1)
    p.add_argument("--offline", action="store_true")
    p.set_defaults(func=cmd_presence)

    p = sub.add_parser("send-text", help="send one text and wait for its acknowledgement")
    identity_options(p)
    p.add_argument("--to", required=True, help="address or host name")
    p.add_argument("--text", required=True)
    p.add_argument("--id", default="", help="message id (default: from the tick counter)")
    p.add_argument("--wait-ms", type=float, default=2500.0)
    p.add_argument("--sport", type=int, default=PORT_TEXT, help="source port (0: system-chosen)")
    p.add_argument("--expect-pc", default="", help="computer name the acknowledgement must carry")
    p.set_defaults(func=cmd_send_text)

    p = sub.add_parser("command", help="send one command datagram to port 18180")
    p.add_argument("--to", required=True)
    p.add_argument("word")
    p.add_argument("arg", nargs="?")
    p.set_defaults(func=cmd_command)

    p = sub.add_parser("filter", help="select records of a listen file")
    p.add_argument("file")
    p.add_argument("--src", help="source address, or a prefix ending in '.'")
    p.add_argument("--port", type=int)
    p.add_argument("--field", action="append", metavar="N=VALUE")
    p.add_argument("--dst", help="header destination address")
    p.add_argument("--after", type=float, help="only records at or after this epoch time")
    p.add_argument("--before", type=float, help="only records before this epoch time")
    p.add_argument("--count", action="store_true", help="print the number of records")
    p.add_argument("--print", help="print these keys per record, tab-separated (t,src,sport,dst,payload,f4,...)")
    p.set_defaults(func=cmd_filter)

    args = ap.parse_args()
    if hasattr(args, "since") and not args.since:
        args.since = time.strftime("%H:%M:%S")  # the state holds since the peer started
    # Stopping a listener early must still leave whole lines behind: unwind through the finally blocks.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        return args.func(args)
    except OSError as e:
        print("peer: %s" % e, file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
