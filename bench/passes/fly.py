"""Flies the named passes through the whole chain under Wine with one azimuth
range: Gyrotalk.exe, the rotator simulator (paced line, end stops of the
range) and the tracking simulator flying the passes back to back, sped up
SCALE times (the rotor's slew rates too, so that it turns as fast as a real
one in pass time). Writes what happened as JSON for passes.py. Run through
bench/passes.sh, which gives each range a prefix and wineserver of its own.

    python3 fly.py RANGE SCALE OUT.json

Where the times come from: the tracking simulator prints each line it
publishes with the performance counter (CLOCK_MONOTONIC_RAW under Wine,
converted to CLOCK_MONOTONIC); the rotor simulator logs each reply it sends
(CLOCK_MONOTONIC), which carries where the rotor stands.
"""
import json
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "chain"))
from chain import Stamped  # noqa: E402
from rig import (PORT, SETTINGS_KEY, ZENITRAK_EXE, Rig, reg_add, wait_for, wine)  # noqa: E402

PASSES = "north,overhead,south,end"
INTERVAL_MS = 250
SLEW = (6.0, 3.0)  # degrees per second of pass time
DIVIDER = 10       # set points in tenths of a degree


class Tracker(Stamped):
    """The tracking simulator: every published line with its time."""

    def __init__(self, scale):
        self.lines = []
        super().__init__(ZENITRAK_EXE, "--pass", PASSES, "--scale", str(scale), "--interval", str(INTERVAL_MS),
                         "--once", "--trace", "--paused")

    def take(self, at_ms, words):
        if words[0] == "line" and len(words) == 4:
            fields = dict((w[:2], w[2:]) for w in words[3].split() if w[:2] in ("AZ", "EL"))
            self.lines.append((at_ms, float(fields["AZ"]), float(fields["EL"])))


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


def main(azimuth_range, scale, out):
    with Rig(azimuth_range, root="bench-passes") as rig:
        reg_add(SETTINGS_KEY, "ComSeq", "G-500, S-1000")
        reg_add(SETTINGS_KEY, "AzimuthRange", azimuth_range)
        sim = rig.rotor(PORT, "--pace", "--range", azimuth_range, "--divider", str(DIVIDER), "--rate",
                        str(SLEW[0] * scale), str(SLEW[1] * scale))
        tracker = Tracker(scale)
        try:
            wait_for("the tracking simulator", lambda: wine(ZENITRAK_EXE, "--send", "ping", check=False).returncode == 0,
                     30, 0.2)
            window = rig.start()
            window.wait_text("s_ac", "Opened")
            window.wait_text("l_dd", "Opened")
            wine(ZENITRAK_EXE, "--send", "pause off")
            # The passes end when no line has come for a while.
            wait_for("the first line", lambda: tracker.lines, 30)
            while time.monotonic() * 1000 - tracker.lines[-1][0] < 10 * INTERVAL_MS:
                time.sleep(1)
            time.sleep(3)
            rig.stop_program()
        finally:
            wine(ZENITRAK_EXE, "--send", "quit", check=False)
            tracker.stop()
        with open(sim.log_path) as log:
            sets = [line.split()[2] for line in log if line.split()[1:2] == ["target"]]
        json.dump({"range": azimuth_range, "scale": scale, "lines": tracker.lines, "rotor": replies(sim),
                   "set_points": len(sets)}, open(out, "w"))
        print(f"{azimuth_range}: {len(tracker.lines)} lines, {len(sets)} set points", flush=True)


if __name__ == "__main__":
    main(sys.argv[1], float(sys.argv[2]), sys.argv[3])
