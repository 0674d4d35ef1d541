#!/usr/bin/python3
"""Text datagrams from forged senders, as fast as asked, without waiting for answers. Standard library only;
the datagram format and the sending from many addresses come from the network benchmark's load generator.

  flood_peer.py texts --to IP --rate N --seconds S --sources P [--source-net NET] [--source-first K]
      N text datagrams a second, each from an address drawn at random from P addresses of NET (which
      must be local to this host), in the name of that address's own sender ("fl<K>", "PC-FL<K>"), and
      counts the acknowledgements that come back to those addresses. Prints one line of figures:
      sent, seconds, offered (per second), acked, acked_per_s, max_behind_ms (how far the sending ran
      behind its schedule), send_errors.
"""

import argparse
import os
import random
import select
import socket
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "net"))
import loadgen  # noqa: E402


def sender(k):
    return "fl%d" % k, "Fälscher %d" % k, "PC-FL%d" % k


def cmd_texts(args):
    sock = loadgen.udp_socket(loadgen.PORT_ACK)
    sock.setblocking(False)
    target = (args.to, loadgen.PORT_TEXT)
    sources = [loadgen.source_address(args, args.source_first + k) for k in range(args.sources)]
    seconds = min(args.seconds, loadgen.HARD_LIMIT_S)
    total = int(seconds * args.rate)
    step_ns = int(1e9 / args.rate)
    rng = random.Random(args.seed)
    start = time.perf_counter_ns()
    sent = errors = acked = 0
    behind_ns = 0

    def drain():
        nonlocal acked
        while True:
            try:
                data = sock.recv(65535)
            except BlockingIOError:
                return
            f = loadgen.fields(data.decode("utf-8", errors="replace"))
            if len(f) >= 4 and f[0] == loadgen.TOKEN and f[1].lower() == "angekommen":
                acked += 1

    j = 0
    while j < total:
        now = time.perf_counter_ns()
        due = start + j * step_ns
        if due <= now:
            behind_ns = max(behind_ns, now - due)
            k = rng.randrange(args.sources)
            user, name, pc = sender(k)
            payload = "|".join(
                [loadgen.TOKEN, user, name, pc, "Werbung Nummer %d, bitte sofort lesen" % j, "%08X" % (0x20000000 + j)]
            )
            try:
                loadgen.send_from(sock, sources[k], payload.encode(), target)
                sent += 1
            except OSError:
                errors += 1
            j += 1
            continue
        ready, _, _ = select.select([sock], [], [], (due - now) / 1e9)
        if ready:
            drain()
    elapsed = (time.perf_counter_ns() - start) / 1e9
    # Acknowledgements of the last texts may still be under way.
    end = time.monotonic() + 2.0
    while time.monotonic() < end:
        ready, _, _ = select.select([sock], [], [], 0.1)
        if ready:
            drain()
    loadgen.report(
        "texts",
        sent=sent,
        seconds=elapsed,
        offered=sent / elapsed if elapsed > 0 else 0.0,
        acked=acked,
        acked_per_s=acked / elapsed if elapsed > 0 else 0.0,
        max_behind_ms=behind_ns / 1e6,
        send_errors=errors,
    )
    return 0 if errors == 0 else 1


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="mode", required=True)
    p = sub.add_parser("texts", help="text datagrams from forged senders")
    p.add_argument("--to", required=True)
    p.add_argument("--rate", type=float, default=1000.0)
    p.add_argument("--seconds", type=float, default=15.0)
    p.add_argument("--sources", type=int, default=100)
    p.add_argument("--source-net", default="10.214.0.0/19")
    p.add_argument("--source-first", type=int, default=1)
    p.add_argument("--seed", type=int, default=1)
    p.set_defaults(func=cmd_texts)
    args = ap.parse_args()
    if args.rate <= 0 or args.sources < 1:
        print("flood_peer: rate and sources must be positive", file=sys.stderr)
        return 2
    try:
        return args.func(args)
    except OSError as e:
        print("flood_peer: %s" % e, file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
