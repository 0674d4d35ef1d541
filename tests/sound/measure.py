#!/usr/bin/env python3
"""Measures the sounding stretch of a recording and compares it with what was played.

    measure.py RECORDING.raw RATE (--wav FILE | --ms N | --silent) [--plus-ms N] [--tolerance-ms N]
               [--from-byte N]

The recording is raw mono signed 16-bit little-endian (what `parec --raw --format=s16le` writes). The
sounding stretch runs from the first to the last sample louder than about -36 dBFS. With --wav the
expected length is the same stretch measured in the file itself, so a sound's quiet tail counts the
same on both sides; --plus-ms adds to it (for a sound that starts later than the first). Prints both
lengths; exit 0 when they agree within the tolerance (the larger of the given milliseconds and 3 %),
1 otherwise. --from-byte also prints where the stretch starts, in milliseconds after that byte of the
recording (the moment the caller acted); a figure only, never part of the verdict.
"""
import argparse
import struct
import sys
import wave

THRESHOLD = 500  # of 32767


def loud_range(samples):
    loud = [i for i, v in enumerate(samples) if abs(v) > THRESHOLD]
    return (loud[0], loud[-1]) if loud else None


def stretch_ms(samples, rate):
    r = loud_range(samples)
    return (r[1] - r[0] + 1) * 1000.0 / rate if r else 0.0


def wav_samples(path):
    with wave.open(path, "rb") as w:
        if w.getnchannels() != 1 or w.getsampwidth() != 2:
            sys.exit(f"{path}: expected mono 16-bit")
        data = w.readframes(w.getnframes())
        return [v for (v,) in struct.iter_unpack("<h", data)], w.getframerate()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("recording")
    p.add_argument("rate", type=int)
    g = p.add_mutually_exclusive_group(required=True)
    g.add_argument("--wav")
    g.add_argument("--ms", type=float)
    g.add_argument("--silent", action="store_true")
    p.add_argument("--plus-ms", type=float, default=0.0)
    p.add_argument("--tolerance-ms", type=float, default=10.0)
    p.add_argument("--from-byte", type=int)
    a = p.parse_args()

    with open(a.recording, "rb") as f:
        raw = f.read()
    raw = raw[: len(raw) // 2 * 2]
    r = loud_range([v for (v,) in struct.iter_unpack("<h", raw)])
    recorded = (r[1] - r[0] + 1) * 1000.0 / a.rate if r else 0.0
    total = len(raw) / 2 * 1000.0 / a.rate
    onset = ""
    if a.from_byte is not None and r:
        onset = f", starting {(r[0] - a.from_byte // 2) * 1000.0 / a.rate:.0f} ms after the mark"

    if a.silent:
        print(f"recorded {total:.0f} ms, sounding {recorded:.0f} ms{onset}, expected silence")
        return 0 if recorded == 0 else 1
    if a.wav:
        samples, rate = wav_samples(a.wav)
        expected = stretch_ms(samples, rate)
        what = f"{a.wav} ({len(samples) * 1000.0 / rate:.0f} ms long)"
    else:
        expected = a.ms
        what = "the tone"
    expected += a.plus_ms
    tolerance = max(a.tolerance_ms, expected * 0.03)
    print(f"recorded {total:.0f} ms, sounding {recorded:.0f} ms{onset}; expected {expected:.0f} ms "
          f"+- {tolerance:.0f} from {what}")
    return 0 if recorded > 0 and abs(recorded - expected) <= tolerance else 1


if __name__ == "__main__":
    sys.exit(main())
