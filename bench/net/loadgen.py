#!/usr/bin/python3
"""Load for the network benchmarks: simulated colleagues on the virtual LAN. Standard library only;
every mode ends by itself. Each mode prints one line of key=value figures on stdout.

  loadgen.py rtt      --to IP [--count N] [--partners P] [--prefix X] [--timeout-ms MS] [--echo-port PORT]
                      [--samples FILE] [--rotate K] [--cpu-pid PID]
      N texts one after another, each waiting for its acknowledgement (matched by message id); with
      --echo-port the same datagrams go to an echo on that port instead (matched by payload); --samples
      writes each round trip in ms (empty when lost), one a line, in sending order. The program takes
      at most 60 texts a minute from one address: --rotate K sends them in turn from K addresses of
      --source-net (the same partners, whose acknowledgements come back to those addresses). --cpu-pid
      reports that process's CPU time per text, over all texts and over the first and the last hundred.
  loadgen.py announce --to BCAST --users U [--every S] [--seconds D] [--prefix X] [--watch IP] [--port PORT]
      U users with distinct user and computer names, each announcing every S seconds, spread evenly
      over the cycle; --watch IP reports the largest online count that host announced meanwhile;
      --port sends the same datagrams to another port (an echo) instead of the presence port.
  loadgen.py wait     --from IP [--seconds S]
      Waits for the first presence datagram of IP (the program is up and sending).
  loadgen.py store    --dir DIR [--count N] [--bytes B] [--pause S]
      The storage floor of one received text: an inbox file and a log of B bytes, each written whole
      to a new file, flushed to the disk and renamed over the old one, N times; and the floor of a
      journal: a short record appended to one file and flushed, N times; the same record written into
      zeros already on disk (as the program's journal keeps room) and flushed, N times; and, after a
      pause of S seconds, the mean of the first 50 such writes (some disks wake up slowly).

With --proto ipmsg, rtt, announce and wait speak IP Messenger (port 2425, "1:packet:user:host:command:extra")
to another messenger instead: a text is IPMSG_SENDMSG with IPMSG_SENDCHECKOPT, answered by IPMSG_RECVMSG
naming its packet number; a user's first announcement is IPMSG_BR_ENTRY (answered with IPMSG_ANSENTRY),
the later ones IPMSG_BR_ABSENCE (a state announcement that wants no answer; --refresh entry repeats
IPMSG_BR_ENTRY instead). IP Messenger tells users apart by their address, so each simulated user sends
from an address of its own: address number K of --source-net (the benchmark routes that range to B),
users from --source-first on. "listed" is then the number of users the watched host answered.
"""

import argparse
import os
import ipaddress
import select
import socket
import struct
import sys
import time

PORT_PRESENCE = 18181
PORT_TEXT = 18182
PORT_ACK = 18183
TOKEN = "TB1"

IPMSG_PORT = 2425
IPMSG_BR_ENTRY = 0x01
IPMSG_ANSENTRY = 0x03
IPMSG_BR_ABSENCE = 0x04
IPMSG_SENDMSG = 0x20
IPMSG_RECVMSG = 0x21
IPMSG_SENDCHECKOPT = 0x100
IPMSG_UTF8OPT = 0x800000
IPMSG_COMMASK = 0xFF
IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)  # Linux
HARD_LIMIT_S = 400.0  # no mode runs longer than this, whatever it is asked


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


def send_from(sock, src, data, target):
    """Sends with the source address src, one of B's own (the benchmark makes a whole range local to B)."""
    info = struct.pack("=i4s4s", 0, socket.inet_aton(src), bytes(4))
    sock.sendmsg([data], [(socket.IPPROTO_IP, IP_PKTINFO, info)], 0, target)


def source_address(args, n):
    net = ipaddress.ip_network(args.source_net, strict=False)
    if n < 1 or n >= net.num_addresses - 1:
        raise OSError("address number %d lies outside %s" % (n, net))
    return str(net.network_address + n)


class CpuMarks:
    """The CPU time (user + system, all threads) a process spends on the first and on the last `head` texts,
    read from /proc before and after each stretch: a cost per text that the disk's whims do not blur.
    The process must be visible here (network namespaces share the process table)."""

    def __init__(self, pid, count, head):
        self.pid, self.count, self.head = pid, count, head
        self.ticks = {}

    def read(self):
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                rest = f.read().rsplit(")", 1)[1].split()
            return int(rest[11]) + int(rest[12])
        except (OSError, ValueError, IndexError):
            return None

    def mark(self, i):
        """Called before text i (0-based) and with i == count after the last."""
        if self.pid > 0 and i in (0, self.head, self.count - self.head, self.count):
            self.ticks.setdefault(i, self.read())

    def per_text_ms(self, a, b):
        t0, t1 = self.ticks.get(a), self.ticks.get(b)
        if t0 is None or t1 is None or b <= a:
            return float("nan")
        return (t1 - t0) * 1000.0 / os.sysconf("SC_CLK_TCK") / (b - a)


def head_of(count):
    """The stretch compared at both ends of a run: 100 texts, a tenth in short runs."""
    return min(100, max(1, count // 10))


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
    if args.proto == "ipmsg":
        return ipmsg_rtt(args)
    echo = args.echo_port > 0
    # The program acknowledges to the sender's address at the acknowledgement port, whatever the source port.
    sock = udp_socket(0 if echo else PORT_ACK)
    target = (args.to, args.echo_port if echo else PORT_TEXT)
    base = int(time.time() * 1000) & 0xFFFF0000
    times_ms = []
    samples = []
    lost = 0
    stop = time.monotonic() + HARD_LIMIT_S
    cpu = CpuMarks(args.cpu_pid, args.count, head_of(args.count))
    for i in range(args.count):
        cpu.mark(i)
        if time.monotonic() > stop:
            lost += args.count - i
            break
        p = i % args.partners + 1
        msg_id = "%08X" % ((base + i) & 0xFFFFFFFF)
        text = "Nachricht %d aus dem Lasttest, mit Grüßen an die Verwaltung" % (i + 1)
        user = "%s%d" % (args.prefix, p)
        payload = "|".join([TOKEN, user, "Rundlauf Partner %d" % p, "PC-%s" % user.upper(), text, msg_id]).encode()
        start = time.perf_counter_ns()
        if args.rotate > 0:
            send_from(sock, source_address(args, args.source_first + i % args.rotate), payload, target)
        else:
            sock.sendto(payload, target)
        deadline = start + int(args.timeout_ms * 1e6)
        ok = wait_reply(sock, deadline, (lambda d: d == payload) if echo else (lambda d: is_ack(d, msg_id)))
        if ok:
            times_ms.append((time.perf_counter_ns() - start) / 1e6)
        else:
            lost += 1
        samples.append("%.3f" % times_ms[-1] if ok else "")
    cpu.mark(args.count)
    return rtt_report(args, "echo" if echo else "program", times_ms, samples, lost, cpu)


def rtt_report(args, target, times_ms, samples, lost, cpu):
    """first/last 100: the medians of the first and the last hundred answered texts (a tenth in short
    runs), and with --cpu-pid the process's CPU time per text over each, so that a cost that grows with
    the conversation's length shows."""
    if args.samples:
        with open(args.samples, "w") as f:
            f.write("\n".join(samples) + "\n")
    ordered = sorted(times_ms)
    nan = float("nan")
    head = head_of(len(times_ms))
    report(
        "rtt",
        target=target,
        sent=args.count,
        answered=len(times_ms),
        lost=lost,
        median_ms=percentile(ordered, 50),
        p99_ms=percentile(ordered, 99),
        max_ms=ordered[-1] if ordered else nan,
        first100_median_ms=median(times_ms[:head]) if times_ms else nan,
        last100_median_ms=median(times_ms[-head:]) if times_ms else nan,
        cpu_first100_ms=cpu.per_text_ms(0, cpu.head),
        cpu_last100_ms=cpu.per_text_ms(args.count - cpu.head, args.count),
        cpu_per_text_ms=cpu.per_text_ms(0, args.count),
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
    if args.proto == "ipmsg":
        return ipmsg_announce(args)
    payloads = presence_payloads(args)
    sock = udp_socket(0, broadcast=True)
    watch = udp_socket(PORT_PRESENCE) if args.watch else None
    if watch is not None:
        watch.setblocking(False)
    target = (args.to, args.port or PORT_PRESENCE)
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
    if args.proto == "ipmsg":
        return ipmsg_wait(args)
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


# --- IP Messenger -----------------------------------------------------------------------------------


class IpmsgPeers:
    """Simulated IP Messenger users on one socket at port 2425 of B, each sending from its own address."""

    def __init__(self, args):
        self.args = args
        self.first = args.source_first
        self.sock = udp_socket(IPMSG_PORT, broadcast=True)
        # The destination of each answer tells which simulated user it was meant for.
        self.sock.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
        self.packet = int(time.time()) & 0x0FFFFFFF  # packet numbers rise, as a real client's do

    def address(self, k):
        return source_address(self.args, self.first + k)

    def send(self, k, user, host, command, extra, target):
        """Sends as user number k; returns the packet number."""
        self.packet += 1
        data = ("1:%d:%s:%s:%d:" % (self.packet, user, host, command)).encode() + extra
        send_from(self.sock, self.address(k), data, target)
        return self.packet

    def receive(self):
        """One queued datagram as (command, extra, source address, destination address), or None."""
        try:
            data, anc, _flags, (src, _port) = self.sock.recvmsg(65535, socket.CMSG_SPACE(12))
        except BlockingIOError:
            return None
        dst = ""
        for level, kind, value in anc:
            if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(value) >= 12:
                dst = socket.inet_ntoa(value[8:12])
        parts = data.split(b":", 5)
        if len(parts) < 6 or not parts[4].isdigit():
            return (-1, b"", src, dst)
        return (int(parts[4]), parts[5], src, dst)


def ipmsg_names(prefix, i):
    return "%s%04d" % (prefix, i), "pc-%s%04d" % (prefix, i)


def ipmsg_entry_extra(prefix, i):
    # nickname and group, each ended by a zero byte
    return ("Joerg Lasttest %s%04d" % (prefix, i)).encode() + b"\0Lasttest\0"


def ipmsg_rtt(args):
    peers = IpmsgPeers(args)
    target = (args.to, IPMSG_PORT)
    times_ms = []
    samples = []
    lost = 0
    stop = time.monotonic() + HARD_LIMIT_S
    command = IPMSG_SENDMSG | IPMSG_SENDCHECKOPT | IPMSG_UTF8OPT
    cpu = CpuMarks(args.cpu_pid, args.count, head_of(args.count))
    for i in range(args.count):
        cpu.mark(i)
        if time.monotonic() > stop:
            lost += args.count - i
            break
        p = i % args.partners
        user, host = ipmsg_names(args.prefix, p + 1)
        text = "Nachricht %d aus dem Lasttest, mit Grüßen an die Verwaltung" % (i + 1)
        peers.sock.setblocking(True)
        start = time.perf_counter_ns()
        packet = peers.send(p, user, host, command, text.encode() + b"\0", target)
        want = str(packet).encode()

        def accept(data):
            f = data.split(b":", 5)
            return (
                len(f) == 6
                and f[4].isdigit()
                and int(f[4]) & IPMSG_COMMASK == IPMSG_RECVMSG
                and f[5].split(b"\0")[0].strip() == want
            )

        ok = wait_reply(peers.sock, start + int(args.timeout_ms * 1e6), accept)
        if ok:
            times_ms.append((time.perf_counter_ns() - start) / 1e6)
        else:
            lost += 1
        samples.append("%.3f" % times_ms[-1] if ok else "")
    cpu.mark(args.count)
    return rtt_report(args, "ipmsg", times_ms, samples, lost, cpu)


def ipmsg_announce(args):
    peers = IpmsgPeers(args)
    peers.sock.setblocking(False)
    peers.address(args.users - 1)  # the whole range fits, or an error now
    target = (args.to, IPMSG_PORT)
    refresh = IPMSG_BR_ENTRY if args.refresh == "entry" else IPMSG_BR_ABSENCE
    seconds = min(args.seconds, HARD_LIMIT_S)
    total = int(round(seconds / args.every * args.users))
    step_ns = int(args.every * 1e9 / args.users)
    extras = [ipmsg_entry_extra(args.prefix, i + 1) for i in range(args.users)]
    names = [ipmsg_names(args.prefix, i + 1) for i in range(args.users)]
    mine = {peers.address(k) for k in range(args.users)}
    answered = set()
    answers = 0
    start = time.perf_counter_ns()
    sent = errors = 0
    latest_ns = 0

    def drain():
        nonlocal answers
        while True:
            got = peers.receive()
            if got is None:
                return
            command, _extra, src, dst = got
            if command >= 0 and command & IPMSG_COMMASK == IPMSG_ANSENTRY and src == args.watch and dst in mine:
                answers += 1
                answered.add(dst)

    j = 0
    while j < total:
        now = time.perf_counter_ns()
        due = start + j * step_ns
        if due <= now:
            latest_ns = max(latest_ns, now - due)
            k = j % args.users
            first = j < args.users
            try:
                peers.send(k, names[k][0], names[k][1], IPMSG_BR_ENTRY if first else refresh, extras[k], target)
                sent += 1
            except OSError:
                errors += 1
            j += 1
            continue
        ready, _, _ = select.select([peers.sock], [], [], (due - now) / 1e9)
        if ready:
            drain()
    # Answers to the last entries may still be under way.
    end = time.monotonic() + 1.0
    while time.monotonic() < end:
        ready, _, _ = select.select([peers.sock], [], [], 0.1)
        if ready:
            drain()
    report(
        "announce",
        proto="ipmsg",
        users=args.users,
        sent=sent,
        send_errors=errors,
        seconds=(time.perf_counter_ns() - start) / 1e9,
        max_behind_ms=latest_ns / 1e6,
        listed=len(answered) if args.watch else "-",
        answers=answers if args.watch else "-",
    )
    return 0 if errors == 0 else 1


def ipmsg_wait(args):
    """Asks the host with an entry of its own, once a second, until it answers."""
    peers = IpmsgPeers(args)
    end = time.monotonic() + min(args.seconds, HARD_LIMIT_S)
    user, host = ipmsg_names("wait", 1)
    while time.monotonic() < end:
        peers.send(0, user, host, IPMSG_BR_ENTRY, ipmsg_entry_extra("wait", 1), (args.src, IPMSG_PORT))
        peers.sock.setblocking(True)
        stop = min(end, time.monotonic() + 1.0)
        while True:
            left = stop - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([peers.sock], [], [], left)
            if not ready:
                continue
            peers.sock.setblocking(False)
            got = peers.receive()
            peers.sock.setblocking(True)
            if got and got[2] == args.src and got[0] >= 0 and got[0] & IPMSG_COMMASK == IPMSG_ANSENTRY:
                report("wait", proto="ipmsg", ready=1)
                return 0
    report("wait", proto="ipmsg", ready=0)
    return 1


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
    record = ("01.01.2026 12:00:00|rt1|" + "x" * 80 + "\r\n").encode()
    pause_count = 50
    # A record written into room kept on disk, at the next place each time, then flushed: first after a
    # pause, then (after the other writes, as the disk is then) as the floor of the program's journal.
    room_fd = os.open(os.path.join(args.dir, "journal-room"), os.O_RDWR | os.O_CREAT | os.O_TRUNC, 0o644)
    room_at = [0]

    def write_into_room():
        start = time.perf_counter_ns()
        os.pwrite(room_fd, record, room_at[0])
        os.fdatasync(room_fd)
        room_at[0] += len(record)
        return (time.perf_counter_ns() - start) / 1e6

    try:
        os.write(room_fd, b"\0" * (len(record) * (args.count + pause_count) + 4096))
        os.fdatasync(room_fd)
        time.sleep(args.pause)
        pause_ms = [write_into_room() for _ in range(pause_count)]
        inbox = "\r\n".join("rt%d_PC-RT%d" % (p, p) for p in range(1, 5)).encode()
        log = (b"x" * 99 + b"\n") * max(1, args.bytes // 100)
        times_ms = []
        for i in range(args.count):
            start = time.perf_counter_ns()
            save_whole(os.path.join(args.dir, "inbox.txt"), inbox)
            save_whole(os.path.join(args.dir, "log%d.log" % (i % 4)), log)
            times_ms.append((time.perf_counter_ns() - start) / 1e6)
        # A journal: one record appended to a file that stays open, then flushed.
        append_ms = []
        fd = os.open(os.path.join(args.dir, "journal"), os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
        try:
            for _ in range(args.count):
                start = time.perf_counter_ns()
                os.write(fd, record)
                os.fdatasync(fd)
                append_ms.append((time.perf_counter_ns() - start) / 1e6)
        finally:
            os.close(fd)
        room_ms = [write_into_room() for _ in range(args.count)]
    finally:
        os.close(room_fd)
    ordered = sorted(times_ms)
    appended = sorted(append_ms)
    room = sorted(room_ms)
    report(
        "store",
        saves=args.count,
        median_ms=percentile(ordered, 50),
        p99_ms=percentile(ordered, 99),
        append_median_ms=percentile(appended, 50),
        append_p99_ms=percentile(appended, 99),
        room_median_ms=percentile(room, 50),
        room_p99_ms=percentile(room, 99),
        after_pause_mean_ms=sum(pause_ms) / len(pause_ms),
    )
    return 0


def ipmsg_args(p):
    p.add_argument("--proto", choices=["tobrik", "ipmsg"], default="tobrik")
    p.add_argument("--source-net", default="10.214.0.0/20", help="ipmsg: the addresses of the simulated users")
    p.add_argument("--source-first", type=int, default=1, help="ipmsg: the first user's number in that range")


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
    p.add_argument("--prefix", default="rt", help="user names: PREFIX1, PREFIX2, ...")
    p.add_argument(
        "--rotate",
        type=int,
        default=0,
        help="program: send the texts in turn from this many addresses of --source-net (from --source-first on)",
    )
    p.add_argument("--cpu-pid", type=int, default=0, help="a process whose CPU time per text to report")
    ipmsg_args(p)
    p.set_defaults(func=cmd_rtt)

    p = sub.add_parser("announce", help="presence of many simulated users")
    p.add_argument("--to", required=True)
    p.add_argument("--users", type=int, required=True)
    p.add_argument("--every", type=float, default=3.0)
    p.add_argument("--seconds", type=float, default=60.0)
    p.add_argument("--prefix", default="lt")
    p.add_argument("--watch", default="")
    p.add_argument("--port", type=int, default=0, help="another port than the presence port (an echo)")
    p.add_argument("--refresh", choices=["absence", "entry"], default="absence")
    ipmsg_args(p)
    p.set_defaults(func=cmd_announce)

    p = sub.add_parser("wait", help="wait for the first presence of a host")
    p.add_argument("--from", dest="src", required=True)
    p.add_argument("--seconds", type=float, default=10.0)
    ipmsg_args(p)
    p.set_defaults(func=cmd_wait)

    p = sub.add_parser("store", help="time the file saves a received text needs")
    p.add_argument("--dir", required=True)
    p.add_argument("--count", type=int, default=200)
    p.add_argument("--bytes", type=int, default=15000)
    p.add_argument("--pause", type=float, default=2.0)
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
