#!/usr/bin/python3
"""Load for the network benchmarks: simulated colleagues on the virtual LAN. Standard library only;
every mode ends by itself. Each mode prints one line of key=value figures on stdout.

  loadgen.py rtt      --to IP [--count N] [--partners P] [--timeout-ms MS] [--echo-port PORT] [--samples FILE]
      N texts one after another, each waiting for its acknowledgement (matched by message id); with
      --echo-port the same datagrams go to an echo on that port instead (matched by payload); --samples
      writes each round trip in ms (empty when lost), one a line, in sending order.
  loadgen.py announce --to BCAST --users U [--every S] [--seconds D] [--prefix X] [--watch IP]
      U users with distinct user and computer names, each announcing every S seconds, spread evenly
      over the cycle; --watch IP reports the largest online count that host announced meanwhile.
  loadgen.py wait     --from IP [--seconds S]
      Waits for the first presence datagram of IP (the program is up and sending).
  loadgen.py store    --dir DIR [--count N] [--bytes B]
      The storage floor of one received text: an inbox file and a log of B bytes, each written whole
      to a new file, flushed to the disk and renamed over the old one, N times.
"""

import argparse
import os
import select
import socket
import sys
import time

PORT_PRESENCE = 18181
PORT_TEXT = 18182
PORT_ACK = 18183
TOKEN = "TB1"
HARD_LIMIT_S = 200.0  # no mode runs longer than this, whatever it is asked


def fields(text):
    return [f for f in text.split("|") if f]


def udp_socket(port=0, broadcast=False):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    # The presence port is shared with the host's own broadcasts looping back.
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if broadcast:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.bind(("0.0.0.0", port))
    return s


def percentile(sorted_values, p):
    """Nearest rank: the smallest value with at least p percent of the values at or below it."""
    if not sorted_values:
        return float("nan")
    rank = max(1, -(-len(sorted_values) * p // 100))
    return sorted_values[int(rank) - 1]


def median(values):
    return percentile(sorted(values), 50)


def report(mode, **figures):
    parts = [mode]
    for key, value in figures.items():
        parts.append("%s=%s" % (key, "%.3f" % value if isinstance(value, float) else value))
    print(" ".join(parts), flush=True)


def wait_reply(sock, deadline_ns, accept):
    """Reads datagrams until accept(data) holds; False when the deadline passes first."""
    while True:
        left = (deadline_ns - time.perf_counter_ns()) / 1e9
        if left <= 0:
            return False
        ready, _, _ = select.select([sock], [], [], left)
        if ready:
            data, _src = sock.recvfrom(65535)
            if accept(data):
                return True


def is_ack(data, msg_id):
    f = fields(data.decode("utf-8", errors="replace"))
    return len(f) >= 4 and f[0] == TOKEN and f[1].lower() == "angekommen" and f[3].upper() == msg_id


def cmd_rtt(args):
    echo = args.echo_port > 0
    # The program acknowledges to the sender's address at the acknowledgement port, whatever the source port.
    sock = udp_socket(0 if echo else PORT_ACK)
    target = (args.to, args.echo_port if echo else PORT_TEXT)
    base = int(time.time() * 1000) & 0xFFFF0000
    times_ms = []
    samples = []
    lost = 0
    stop = time.monotonic() + HARD_LIMIT_S
    for i in range(args.count):
        if time.monotonic() > stop:
            lost += args.count - i
            break
        p = i % args.partners + 1
        msg_id = "%08X" % ((base + i) & 0xFFFFFFFF)
        text = "Nachricht %d aus dem Lasttest, mit Grüßen an die Verwaltung" % (i + 1)
        payload = "|".join([TOKEN, "rt%d" % p, "Rundlauf Partner %d" % p, "PC-RT%d" % p, text, msg_id]).encode()
        start = time.perf_counter_ns()
        sock.sendto(payload, target)
        deadline = start + int(args.timeout_ms * 1e6)
        ok = wait_reply(sock, deadline, (lambda d: d == payload) if echo else (lambda d: is_ack(d, msg_id)))
        if ok:
            times_ms.append((time.perf_counter_ns() - start) / 1e6)
        else:
            lost += 1
        samples.append("%.3f" % times_ms[-1] if ok else "")
    if args.samples:
        with open(args.samples, "w") as f:
            f.write("\n".join(samples) + "\n")
    ordered = sorted(times_ms)
    report(
        "rtt",
        target="echo" if echo else "program",
        sent=args.count,
        answered=len(times_ms),
        lost=lost,
        median_ms=percentile(ordered, 50),
        p99_ms=percentile(ordered, 99),
        max_ms=ordered[-1] if ordered else float("nan"),
        first100_median_ms=median(times_ms[:100]) if times_ms else float("nan"),
        last100_median_ms=median(times_ms[-100:]) if times_ms else float("nan"),
    )
    return 0 if lost == 0 else 1


def presence_payloads(args):
    since = time.strftime("%H:%M:%S")
    out = []
    for i in range(1, args.users + 1):
        parts = [
            TOKEN,
            "%s%04d" % (args.prefix, i),
            "Jörg Lasttest %04d" % i,
            "PC-%s%04d" % (args.prefix.upper(), i),
            str(i % 3),  # online, away and busy alike
            "1",
            since,
            "1",
            str(args.users),
        ]
        out.append("|".join(parts).encode())
    return out


def watch_count(sock, src, best):
    """Reads everything queued (own broadcasts loop back too, and would crowd out the watched host's)."""
    while True:
        try:
            data, (addr, _port) = sock.recvfrom(65535)
        except BlockingIOError:
            return best
        f = fields(data.decode("utf-8", errors="replace"))
        if addr == src and len(f) >= 9 and f[0] == TOKEN and f[8].isdigit():
            best = max(best, int(f[8]))


def cmd_announce(args):
    payloads = presence_payloads(args)
    sock = udp_socket(0, broadcast=True)
    watch = udp_socket(PORT_PRESENCE) if args.watch else None
    if watch is not None:
        watch.setblocking(False)
    target = (args.to, PORT_PRESENCE)
    seconds = min(args.seconds, HARD_LIMIT_S)
    total = int(round(seconds / args.every * args.users))
    step_ns = int(args.every * 1e9 / args.users)
    start = time.perf_counter_ns()
    sent = errors = 0
    latest_ns = 0  # the most a send ran behind its slot
    listed = 0
    j = 0
    while j < total:
        now = time.perf_counter_ns()
        due = start + j * step_ns
        if due <= now:
            latest_ns = max(latest_ns, now - due)
            try:
                sock.sendto(payloads[j % args.users], target)
                sent += 1
            except OSError:
                errors += 1
            j += 1
            continue
        wait = (due - now) / 1e9
        if watch is not None:
            ready, _, _ = select.select([watch], [], [], wait)
            if ready:
                listed = watch_count(watch, args.watch, listed)
        else:
            time.sleep(wait)
    report(
        "announce",
        users=args.users,
        sent=sent,
        send_errors=errors,
        seconds=(time.perf_counter_ns() - start) / 1e9,
        max_behind_ms=latest_ns / 1e6,
        listed=listed if watch is not None else "-",
    )
    return 0 if errors == 0 else 1


def cmd_wait(args):
    sock = udp_socket(PORT_PRESENCE)
    end = time.monotonic() + min(args.seconds, HARD_LIMIT_S)
    while True:
        left = end - time.monotonic()
        if left <= 0:
            report("wait", ready=0)
            return 1
        ready, _, _ = select.select([sock], [], [], left)
        if not ready:
            continue
        data, (addr, _port) = sock.recvfrom(65535)
        f = fields(data.decode("utf-8", errors="replace"))
        if addr == args.src and f and f[0] == TOKEN:
            report("wait", ready=1, pc=f[3] if len(f) > 3 else "")
            return 0


def save_whole(path, data):
    tmp = path + ".new"
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        os.write(fd, data)
        os.fdatasync(fd)
    finally:
        os.close(fd)
    os.rename(tmp, path)


def cmd_store(args):
    inbox = "\r\n".join("rt%d_PC-RT%d" % (p, p) for p in range(1, 5)).encode()
    log = (b"x" * 99 + b"\n") * max(1, args.bytes // 100)
    times_ms = []
    for i in range(args.count):
        start = time.perf_counter_ns()
        save_whole(os.path.join(args.dir, "inbox.txt"), inbox)
        save_whole(os.path.join(args.dir, "log%d.log" % (i % 4)), log)
        times_ms.append((time.perf_counter_ns() - start) / 1e6)
    ordered = sorted(times_ms)
    report("store", saves=args.count, median_ms=percentile(ordered, 50), p99_ms=percentile(ordered, 99))
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="mode", required=True)

    p = sub.add_parser("rtt", help="round trips, one after another")
    p.add_argument("--to", required=True)
    p.add_argument("--count", type=int, default=1000)
    p.add_argument("--partners", type=int, default=4)
    p.add_argument("--timeout-ms", type=float, default=1000.0)
    p.add_argument("--echo-port", type=int, default=0)
    p.add_argument("--samples", default="")
    p.set_defaults(func=cmd_rtt)

    p = sub.add_parser("announce", help="presence of many simulated users")
    p.add_argument("--to", required=True)
    p.add_argument("--users", type=int, required=True)
    p.add_argument("--every", type=float, default=3.0)
    p.add_argument("--seconds", type=float, default=60.0)
    p.add_argument("--prefix", default="lt")
    p.add_argument("--watch", default="")
    p.set_defaults(func=cmd_announce)

    p = sub.add_parser("wait", help="wait for the first presence of a host")
    p.add_argument("--from", dest="src", required=True)
    p.add_argument("--seconds", type=float, default=10.0)
    p.set_defaults(func=cmd_wait)

    p = sub.add_parser("store", help="time the file saves a received text needs")
    p.add_argument("--dir", required=True)
    p.add_argument("--count", type=int, default=200)
    p.add_argument("--bytes", type=int, default=15000)
    p.set_defaults(func=cmd_store)

    args = ap.parse_args()
    if getattr(args, "count", 1) < 1 or getattr(args, "partners", 1) < 1 or getattr(args, "users", 1) < 1:
        print("loadgen: counts must be positive", file=sys.stderr)
        return 2
    if getattr(args, "every", 1.0) <= 0:
        print("loadgen: --every must be positive", file=sys.stderr)
        return 2
    try:
        return args.func(args)
    except OSError as e:
        print("loadgen: %s" % e, file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
