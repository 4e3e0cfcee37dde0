"""End-to-end scenarios of the choice of the set point: python3 pointing.py SCENARIO.

Targets come from tracking scripts that move at a steady rate, a line every
250 ms; the rotor simulator turns fast, so what the rotor shows is what the
set points make of it."""
import os
import statistics

from rig import SETTINGS_KEY, Failure, Rig, TracedZenitrak, reg_add, run_scenario, wait_for

SEQ_FAST = "G-500, S-1000"
POINT_AHEAD_ID = 0x180       # the system menu's "Point ahead"
TOLERANCE_2_ID = 0x200 + 3 * 0x10  # the system menu's "2°"
INTERVAL_MS = 250
REPLY_LAG_MS = 13 * 1000 / 60  # a paced reply carries where the rotor stood a frame's time earlier
FAST_ROTOR = ("--pace", "--divider", "10", "--rate", "60", "30")


def expect(condition, message):
    if not condition:
        raise Failure(message)


def script(rig, name, lines):
    """A tracking script in the program's directory; its path as Wine sees it."""
    path = os.path.join(rig.workdir, name)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return "Z:" + path.replace("/", "\\")


def climb(start, rate, seconds):
    """Lines of a target climbing along the meridian in the south at rate degrees per second."""
    steps = int(seconds * 1000 / INTERVAL_MS)
    return [f"SNISS AZ180.0 EL{start + rate * i * INTERVAL_MS / 1000:.1f}" for i in range(steps + 1)]


def set_points(sim):
    """(ms, azimuth, elevation) of every set point the rotor took."""
    with open(sim.log_path) as log:
        return [(float(w[0]), float(w[2]), float(w[3])) for w in (line.split() for line in log)
                if w[1:2] == ["target"]]


def replies(sim):
    """(ms, azimuth, elevation) where the rotor stood, from every STATE reply."""
    found = []
    for seconds, kind, hex_bytes in sim.frames("tx"):
        b = [int(x, 16) for x in hex_bytes.split()]
        if kind == "STATE" and len(b) == 12:
            found.append((seconds * 1000 - REPLY_LAG_MS, b[1] * 100 + b[2] * 10 + b[3] + b[4] / 10 - 360,
                          b[6] * 100 + b[7] * 10 + b[8] + b[9] / 10 - 360))
    return found


def elevation_at(lines, ms):
    """The target's elevation between the lines published before and after ms."""
    before = [line for line in lines if line[0] <= ms]
    after = [line for line in lines if line[0] > ms]
    if not before or not after:
        return None
    (t0, _, e0), (t1, _, e1) = before[-1], after[0]
    return e0 + (e1 - e0) * (ms - t0) / (t1 - t0)


def started(rig, *settings, rotor=(), tracking=(), interval=INTERVAL_MS):
    for name, value in (("ComSeq", SEQ_FAST),) + settings:
        reg_add(SETTINGS_KEY, name, value)
    sim = rig.rotor("COM5", *FAST_ROTOR, *rotor)
    tracking = TracedZenitrak("--interval", str(interval), "--once", "--paused", *tracking)
    rig.tracking = tracking
    window = rig.start()
    window.wait_text("s_ac", "Opened")
    window.wait_text("l_dd", "Opened")
    return sim, tracking, window


def phases(rig, sim, tracking, window, menu_id, lines):
    """Flies the script's first half, picks menu_id, flies the second half: (start ms, end ms) of each.
    The simulator publishes the first line as it starts, paused or not."""
    spans = []
    for phase in range(2):
        if phase:
            window.drive("syscommand", "--id", str(menu_id))
        # The script's own pause may come after this resume: resume until lines come.
        for _ in range(20):
            tracking.send("pause off")
            try:
                wait_for("a line", lambda: len(tracking.lines) > phase * lines, 2)
                break
            except Failure:
                pass
        wait_for("the phase's lines", lambda: len(tracking.lines) >= (phase + 1) * lines, 60, 0.2)
        spans.append((tracking.lines[phase * lines + 1][0], tracking.lines[-1][0]))
    return spans


def hunting_at_north():
    """0-450, the rotor at 0 and a target flickering between 359.5 and 0.5
    degrees: after the first set point every one keeps the rotor at north
    (359.5 and 360.5), and the rotor never runs a turn back."""
    with Rig("hunting_at_north") as rig:
        flicker = script(rig, "flicker.txt", ["SNISS AZ359.5 EL10.0", "SNISS AZ0.5 EL10.0"] * 60)
        # A line every 300 ms: each SET step of the 1500 ms cycle meets the other one.
        sim, tracking, _ = started(rig, ("AzimuthRange", "0-450"), rotor=("--range", "0-450", "--position", "0", "10"),
                                   tracking=("--script", flicker), interval=300)
        tracking.send("pause off")
        wait_for("the rotor at north", lambda: [az for _, az, _ in replies(sim) if az >= 359], 30, 0.2)
        sim.wait_states(sim.states(), 3, "three cycles at north")

        def at_north():
            # The first may be 0.5, the nearest to 0; once at north the rotor stays there.
            azimuths = [az for _, az, _ in set_points(sim)]
            return azimuths[azimuths.index(359.5):] if 359.5 in azimuths else []
        wait_for("five set points at north", lambda: len(at_north()) >= 5, 30, 0.2)
        expect(all(az in (359.5, 360.5) for az in at_north()), f"set points {[az for _, az, _ in set_points(sim)]}")
        later = [az for t, az, _ in replies(sim) if t > next(t for t, az, _ in replies(sim) if az >= 359)]
        expect(min(later, default=359) >= 358, f"the rotor turned back to {min(later, default=None)}")


def offsets_and_mask_on_the_wire():
    """Offsets of 5 and 2 degrees and a mask of points: each set point is the
    direction, lifted to the mask at its azimuth (across north too), plus the
    offsets; the rotor labels show where the antenna points."""
    with Rig("offsets_and_mask_on_the_wire") as rig:
        sim, tracking, window = started(rig, ("AzimuthOffset", "5"), ("ElevationOffset", "2"),
                                        ("HorizonMask", "0:5 90:12 180:5 270:3"), rotor=("--position", "0", "0"),
                                        tracking=("--line", "SNISS AZ90.0 EL4.0"))
        for line, point, shown in (("SNISS AZ90.0 EL4.0", (95.0, 14.0), ("90.0", "12.0")),
                                   ("SNISS AZ315.0 EL-3.0", (320.0, 6.0), ("315.0", "4.0")),
                                   ("SNISS AZ200.0 EL30.0", (205.0, 32.0), ("200.0", "30.0"))):
            tracking.send("line " + line)
            wait_for(f"the set point of {line}", lambda: set_points(sim) and set_points(sim)[-1][1:] == point, 20, 0.2)
            window.wait_text("s_az", shown[0])
            window.wait_text("s_el", shown[1])


def impossible_angles():
    """A line whose angles are no direction moves nothing and its labels stay
    short; the next good line moves the rotor again."""
    with Rig("impossible_angles") as rig:
        sim, tracking, window = started(rig, tracking=("--script", script(rig, "one.txt", ["SNISS AZ10.0 EL10.0"])))
        tracking.send("pause off")
        wait_for("the first set point", lambda: set_points(sim), 20, 0.2)
        for line, label, shown in (("SNISS AZ10.0 EL1e300", "l_el", "1.000e+300"),
                                   ("SNISS AZ1000.0 EL10.0", "l_az", "1000.0"),
                                   ("SNISS AZ20.0 EL-95.0", "l_el", "-95.0")):
            tracking.send("line " + line)
            window.wait_text(label, shown)
            states = sim.states()
            sim.wait_states(states, 3, "three cycles")
            expect(len(set_points(sim)) == 1, f"{line} moved the rotor: {set_points(sim)}")
        tracking.send("line SNISS AZ20.0 EL10.0")
        wait_for("a set point for a good line", lambda: len(set_points(sim)) == 2, 20, 0.2)
        expect(set_points(sim)[1][1:] == (20.0, 10.0), f"set point {set_points(sim)[1]}")


def over_the_top():
    """0-180: a pass straight across the zenith gets set points beyond 90
    degrees of elevation and keeps its azimuth; the rotor never swings."""
    with Rig("over_the_top") as rig:
        up = [f"SNISS AZ180.0 EL{60 + 0.75 * i:.2f}" for i in range(40)]
        down = [f"SNISS AZ0.0 EL{90 - 0.75 * i:.2f}" for i in range(1, 41)]
        sim, tracking, _ = started(rig, ("AzimuthRange", "0-450"), ("ElevationRange", "0-180"),
                                   rotor=("--range", "0-450", "--elevation-range", "0-180", "--position", "180", "60"),
                                   tracking=("--script", script(rig, "zenith.txt", up + down)))
        tracking.send("pause off")
        wait_for("the pass", lambda: len(tracking.lines) >= len(up) + len(down), 60, 0.2)
        sim.wait_states(sim.states(), 2, "two more cycles")
        points = set_points(sim)
        expect(max(el for _, _, el in points) > 110, f"no set point over the top: {points}")
        expect(all(abs(az - 180) <= 1 for _, az, _ in points), f"the azimuth swung: {points}")
        expect(all(abs(az - 180) <= 1 for _, az, _ in replies(sim)), "the rotor's azimuth swung")


def point_ahead_lowers_the_error():
    """The same climb twice in one run, first with the defaults (every set
    point a tracking line's position), then with point-ahead picked in the
    menu: the rotor trails the target by much less."""
    with Rig("point_ahead_lowers_the_error") as rig:
        lines = climb(10, 3, 12)
        sim, tracking, window = started(rig, rotor=("--position", "180", "10"),
                                        tracking=("--script", script(rig, "climb.txt", lines + ["!pause on"] + lines)))
        spans = phases(rig, sim, tracking, window, POINT_AHEAD_ID, len(lines))
        # The frame carries tenths, truncated.
        default_points = [p for p in set_points(sim) if spans[0][0] <= p[0] <= spans[0][1]]
        expect(default_points and all(any(abs(p[1] - az) < 0.11 and abs(p[2] - el) < 0.11
                                          for _, az, el in tracking.lines) for p in default_points),
               f"a default set point is no line's position: {default_points}")
        errors = []
        for first, last in spans:
            steady = [(t, el) for t, _, el in replies(sim) if first + 3000 <= t <= last]
            errors.append([abs(el - elevation_at(tracking.lines, t)) for t, el in steady])
        medians = [statistics.median(e) for e in errors]
        expect(medians[1] < medians[0] / 2, f"median error default {medians[0]:.2f}, ahead {medians[1]:.2f}")
        print(f"median error: default {medians[0]:.2f}, point-ahead {medians[1]:.2f} degrees "
              f"({len(errors[0])} and {len(errors[1])} replies)")


def tolerance_sends_fewer_sets():
    """The same slow climb twice in one run, first with the defaults, then
    with a 2 degree tolerance picked in the menu: far fewer SET frames."""
    with Rig("tolerance_sends_fewer_sets") as rig:
        lines = climb(10, 0.6, 16)
        sim, tracking, window = started(rig, rotor=("--position", "180", "10"),
                                        tracking=("--script", script(rig, "slow.txt", lines + ["!pause on"] + lines)))
        spans = phases(rig, sim, tracking, window, TOLERANCE_2_ID, len(lines))
        counts = [sum(first + 1500 <= t <= last for t, _, _ in set_points(sim)) for first, last in spans]
        expect(counts[1] * 2 <= counts[0] and counts[1] > 0, f"SET frames: default {counts[0]}, 2° {counts[1]}")
        print(f"SET frames: default {counts[0]}, tolerance 2° {counts[1]}")


if __name__ == "__main__":
    run_scenario([hunting_at_north, impossible_angles, over_the_top, point_ahead_lowers_the_error,
                  tolerance_sends_fewer_sets, offsets_and_mask_on_the_wire])
