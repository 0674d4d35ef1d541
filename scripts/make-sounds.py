#!/usr/bin/env python3
"""Writes the program's eleven event sounds into sounds/ from the table below.

Each sound is a few notes. A note has a start and a length in milliseconds, a pitch in Hz (optionally
gliding to a second pitch), a timbre (partials: frequency ratio and weight) and an envelope: a short
attack, an exponential decay and a linear release that brings it to exactly zero at its end, so no
sound ends with a click. Each sound is then scaled so its loudest sample sits at its level (a fraction
of full scale), which keeps the set even in loudness; the small ones (typing, click) sit lower.

    scripts/make-sounds.py            rewrite sounds/*.wav
    scripts/make-sounds.py --check    exit 1 if a committed file differs from what the table gives

Only the standard library is used. The output is mono, 16 bit, 22050 Hz.
"""
import argparse
import math
import os
import struct
import sys
import wave

RATE = 22050

# Partials as (frequency ratio, weight).
PURE = [(1, 1.0)]
SOFT = [(1, 1.0), (2, 0.18), (3, 0.05)]
BELL = [(1, 1.0), (2, 0.32), (3, 0.12), (4.16, 0.06)]  # a slightly stretched upper partial rings like a bell
WOOD = [(1, 1.0), (3.93, 0.25), (9.2, 0.04)]  # marimba-like: a short bar with inharmonic overtones
REED = [(1, 1.0), (3, 0.22), (5, 0.08)]  # odd partials only: hollow, clearly "closed"


def note(at, ms, hz, timbre, attack=5, decay=200, release=30, to_hz=None, gain=1.0):
    return dict(at=at, ms=ms, hz=hz, to_hz=to_hz or hz, timbre=timbre, attack=attack, decay=decay,
                release=release, gain=gain)


# Pitches of the notes used below.
G4, B4, D5, C5, E5, G5, A5, C6, E6, G6 = 392.0, 493.88, 587.33, 523.25, 659.25, 783.99, 880.0, 1046.5, 1318.51, 1567.98

SOUNDS = {
    # Program start: a rising C major arpeggio, bells, unhurried.
    "signin": dict(level=0.50, notes=[
        note(0, 300, C5, BELL, decay=160),
        note(110, 300, E5, BELL, decay=160),
        note(220, 300, G5, BELL, decay=160),
        note(330, 420, C6, BELL, decay=200, release=60),
    ]),
    # A message arrived: "ding-dong", a falling major third, long ringing bells. The one sound that must
    # never be missed, so it is the fullest.
    "incoming": dict(level=0.55, notes=[
        note(0, 420, E6, BELL, decay=220),
        note(170, 520, C6, BELL, decay=260, release=60),
    ]),
    # A message went out: a quick upward sweep.
    "outgoing": dict(level=0.45, notes=[
        note(0, 200, 700, SOFT, attack=15, decay=150, release=40, to_hz=1400),
    ]),
    # A key typed into the message: a tiny tick, quiet, so a fast typist is not tired by it.
    "typing": dict(level=0.22, notes=[
        note(0, 30, 1800, WOOD, attack=1, decay=7, release=8),
    ]),
    # Someone came online: two quick marimba notes up a fifth.
    "online": dict(level=0.45, notes=[
        note(0, 200, A5, WOOD, attack=2, decay=90),
        note(90, 230, E6, WOOD, attack=2, decay=100),
    ]),
    # Someone went offline: the same two notes, down.
    "offline": dict(level=0.45, notes=[
        note(0, 200, E6, WOOD, attack=2, decay=90),
        note(90, 230, A5, WOOD, attack=2, decay=100),
    ]),
    # Someone went away: a soft, slow falling third, lower than online and offline.
    "away": dict(level=0.42, notes=[
        note(0, 260, D5, SOFT, attack=20, decay=220, release=60),
        note(190, 300, B4, SOFT, attack=20, decay=240, release=80),
    ]),
    # Someone is busy: a low double knock, hollow.
    "busy": dict(level=0.42, notes=[
        note(0, 100, G4, REED, attack=4, decay=60, release=25),
        note(140, 110, G4, REED, attack=4, decay=60, release=25),
    ]),
    # Next unread message shown (or the shown one closed): a short falling pop.
    "click": dict(level=0.32, notes=[
        note(0, 55, 1500, SOFT, attack=2, decay=25, release=12, to_hz=900),
    ]),
    # A message deleted: a long falling sweep.
    "delete": dict(level=0.40, notes=[
        note(0, 300, 900, SOFT, attack=10, decay=260, release=60, to_hz=250),
    ]),
    # A message marked as read: one clear chime with a quiet fifth above.
    "read": dict(level=0.42, notes=[
        note(0, 340, C6, BELL, decay=150, release=50),
        note(0, 340, G6, PURE, decay=120, release=50, gain=0.25),
    ]),
}


def render(notes):
    length = max(n["at"] + n["ms"] for n in notes) * RATE // 1000
    out = [0.0] * length
    for n in notes:
        start = n["at"] * RATE // 1000
        count = n["ms"] * RATE // 1000
        attack = max(1, n["attack"] * RATE // 1000)
        release = max(1, n["release"] * RATE // 1000)
        decay = n["decay"] * RATE / 1000.0
        phase = 0.0  # integrated, so a glide stays smooth
        for i in range(count):
            hz = n["hz"] + (n["to_hz"] - n["hz"]) * i / count
            phase += 2 * math.pi * hz / RATE
            env = min(1.0, i / attack) * math.exp(-i / decay) * min(1.0, (count - 1 - i) / release)
            value = sum(w * math.sin(phase * r) for r, w in n["timbre"])
            out[start + i] += n["gain"] * env * value
    return out


def to_pcm(samples, level):
    peak = max(abs(s) for s in samples) or 1.0
    scale = level * 32767 / peak
    return b"".join(struct.pack("<h", max(-32768, min(32767, round(s * scale)))) for s in samples)


def write(path, pcm):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm)


def read(path):
    with wave.open(path, "rb") as w:
        return (w.getnchannels(), w.getsampwidth(), w.getframerate()), w.readframes(w.getnframes())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare with the files instead of writing")
    parser.add_argument("--out", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sounds"))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    stale = []
    for name, sound in SOUNDS.items():
        path = os.path.join(args.out, name + ".wav")
        pcm = to_pcm(render(sound["notes"]), sound["level"])
        if not args.check:
            write(path, pcm)
            print(f"{name}.wav  {len(pcm) // 2 * 1000 // RATE} ms  {os.path.getsize(path)} bytes")
            continue
        try:
            params, old = read(path)
        except (OSError, wave.Error, EOFError) as e:
            stale.append(f"{name}.wav: {e}")
            continue
        # A libm that rounds one sine differently may move a sample by one step; more is a real change.
        was = [v for (v,) in struct.iter_unpack("<h", old)]
        now = [v for (v,) in struct.iter_unpack("<h", pcm)]
        same = params == (1, 2, RATE) and len(was) == len(now) and all(abs(a - b) <= 1 for a, b in zip(was, now))
        if not same:
            stale.append(f"{name}.wav differs from the table: run scripts/make-sounds.py")
    for line in stale:
        print(line, file=sys.stderr)
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main())
