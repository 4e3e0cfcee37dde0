"""Flies the named passes through the whole chain under Wine with one set of
choices: Gyrotalk.exe, the rotator simulator (paced line, end stops of the
ranges) and the tracking simulator flying the passes back to back, sped up
SCALE times (the rotor's slew rates too, so that it turns as fast as a real
one in pass time). Two choices compare the rotor behind Hamlib's daemon
with the frames: "rotctld" drives rotctld -m 1 (its dummy rotator turns 6
degrees a second on each axis, whatever the scale), "frames" the simulator
turning as fast. Writes what happened as JSON for passes.py. Run through
bench/passes.sh, which gives each choice a prefix and wineserver of its own.

    python3 fly.py CHOICE SCALE OUT.json [PASSES]   # CHOICE: one of CHOICES below; PASSES: "north,end" say

BEFORE (environment, default 120) is how long each pass starts before its
rise, in seconds of pass time: the time between passes, at most the some
4900 s the satellite spends below the horizon between two of its passes
(4800: one pass after the other, as a low satellite comes).

Where the times come from: the tracking simulator prints each line it
publishes with the performance counter (CLOCK_MONOTONIC_RAW under Wine,
converted to CLOCK_MONOTONIC); the rotor simulator logs each reply it sends
(CLOCK_MONOTONIC), which carries where the rotor stands; the daemon stamps
each set point and each position it reads with the time of day (converted
to CLOCK_MONOTONIC).
"""
import datetime
import json
import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from rig import (PORT, SETTINGS_KEY, ZENITRAK_EXE, Rig, TracedZenitrak, free_tcp_port, reg_add, wait_for,  # noqa: E402
                 wine)

PASSES = "north,overhead,south,end,high85,high88,high89.5"
INTERVAL_MS = 250
SLEW = (6.0, 3.0)  # degrees per second of pass time
DIVIDER = 10       # set points in tenths of a degree
DUMMY_RATES = (6.0, 6.0)  # degrees per second of real time: Hamlib's dummy rotator
REPLY_LAG_MS = 13 * 1000 / 60  # a paced reply goes out a frame's time after the frame that asked
# Each choice adds to the one before; values as stored in the registry.
CHOICES = {
    "default": {},
    "0-450": {"AzimuthRange": "0-450"},
    "0-180": {"AzimuthRange": "0-450", "ElevationRange": "0-180"},
    "ahead": {"AzimuthRange": "0-450", "ElevationRange": "0-180", "PointAhead": "1"},
    "tolerance": {"AzimuthRange": "0-450", "ElevationRange": "0-180", "PointAhead": "1", "Tolerance": "1"},
    # Between passes, against "default" (which follows the satellite under the horizon).
    "wait": {"BetweenPasses": "wait"},
    "frames": {},
    "rotctld": {},
}


def replies(sim):
    """(ms, azimuth, elevation) of the rotor in every STATE reply, as it counts them."""
    found = []
    with open(sim.log_path) as log:
        for line in log:
            words = line.split()
            if words[1:3] == ["tx", "STATE"] and len(words) == 15:
                b = [int(x, 16) for x in words[3:]]
                found.append((float(words[0]), b[1] * 100 + b[2] * 10 + b[3] + b[4] / 10 - 360,
                              b[6] * 100 + b[7] * 10 + b[8] + b[9] / 10 - 360))
    return found


def events(sim):
    """(ms, what, azimuth, elevation) of the rotor's start, each set point it took and each stop."""
    found = []
    with open(sim.log_path) as log:
        for line in log:
            words = line.split()
            if len(words) >= 4 and words[1] in ("start", "target", "stop") and words[2] != "invalid":
                found.append((float(words[0]), words[1], float(words[2]), float(words[3])))
    return found


STAMPED = re.compile(r"^(\S+): (?:rot_set_position called az=(\S+) el=(\S+)|rot_get_position: got az=(\S+), "
                     r"el=(\S+)|(Backend version))")


def daemon_log(daemon):
    """(events, replies) as events() and replies() give them, from the daemon's stamped log. Hamlib's
    dummy rotator starts at 0 0, turns at its rates, and moves on from where it was last read when
    a new set point comes (the time between is lost): it stands from a reading to a set point that
    follows it."""
    offset_ms = (time.time() - time.monotonic()) * 1000
    calls = []
    with open(daemon.log_path, errors="replace") as log:
        for line in log:
            m = STAMPED.match(line)
            if m:
                ms = datetime.datetime.strptime(m.group(1), "%Y-%m-%dT%H:%M:%S.%f%z").timestamp() * 1000 - offset_ms
                calls.append((ms, "start", 0.0, 0.0) if m.group(6) else (ms, "target", float(m.group(2)),
                             float(m.group(3))) if m.group(2) else (ms, "read", float(m.group(4)), float(m.group(5))))
    events = []
    for call, after in zip(calls, calls[1:] + [None]):
        if call[1] != "read":
            events.append(call)
        elif after and after[1] == "target":
            events.append((call[0], "stop", call[2], call[3]))
    return events, [(ms, az, el) for ms, what, az, el in calls if what == "read"]


def main(choice, scale, out, passes=PASSES):
    values = CHOICES[choice]
    azimuth_range = values.get("AzimuthRange", "0-360")
    elevation_range = values.get("ElevationRange", "0-90")
    rates = DUMMY_RATES if choice in ("frames", "rotctld") else tuple(r * scale for r in SLEW)
    with Rig(choice, root="bench-passes") as rig:
        reg_add(SETTINGS_KEY, "ComSeq", "G-500, S-1000")
        for name, value in values.items():
            reg_add(SETTINGS_KEY, name, value)
        if choice == "rotctld":
            sim = rig.rotctld(free_tcp_port(), "1", "-Z")
            reg_add(SETTINGS_KEY, "RotorAddress", f"rotctld://127.0.0.1:{sim.port}")
        else:
            sim = rig.rotor(PORT, "--pace", "--range", azimuth_range, "--elevation-range", elevation_range,
                            "--divider", str(DIVIDER), "--rate", str(rates[0]), str(rates[1]))
        tracker = TracedZenitrak("--pass", passes, "--scale", str(scale), "--interval", str(INTERVAL_MS), "--once",
                                 "--paused", "--before", os.environ.get("BEFORE", "120"))
        try:
            window = rig.start()
            window.wait_text("s_ac", "Opened")
            window.wait_text("l_dd", "Opened")
            # The simulator publishes the first line as it starts, paused or not.
            published = len(tracker.lines)
            wine(ZENITRAK_EXE, "--send", "pause off")
            # The passes end when no line has come for a while.
            wait_for("the passes' lines", lambda: len(tracker.lines) > published, 30)
            while time.monotonic() * 1000 - tracker.lines[-1][0] < 10 * INTERVAL_MS:
                time.sleep(1)
            time.sleep(3)
            rig.stop_program()
        finally:
            tracker.stop()
        moves, told = daemon_log(sim) if choice == "rotctld" else (events(sim), replies(sim))
        json.dump({"choice": choice, "scale": scale, "passes": passes.split(","), "rates": [r / 1000 for r in rates],
                   "lines": tracker.lines, "rotor": told, "events": moves,
                   "reply_lag_ms": 0 if choice == "rotctld" else REPLY_LAG_MS,
                   **({"path_events": [e for e in moves if e[1] != "stop"]} if choice == "rotctld" else {})},
                  open(out, "w"))
        print(f"{choice}: {len(tracker.lines)} lines, {sum(e[1] == 'target' for e in moves)} set points", flush=True)


if __name__ == "__main__":
    main(sys.argv[1], float(sys.argv[2]), sys.argv[3], *sys.argv[4:])
