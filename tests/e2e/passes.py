"""End-to-end scenarios of whole passes: python3 passes.py SCENARIO."""
import shutil

from pointing import replies, script, set_points, started
from rig import SETTINGS_KEY, Failure, Rig, reg_add, reg_query, run_scenario, wait_for
from unattended import LOG_DIR, log_lines, wait_logged

RANGE_450_ID = 0x110  # the system menu's "0°–450°"
PARK_ID = 0x540 + 2 * 0x10  # the system menu's "Park" between passes
SEQ_FAST = "G-500, S-1000"
MASK = 10


def expect(condition, message):
    if not condition:
        raise Failure(message)


def rotor_azimuths(sim):
    """The rotor's azimuth in every reply, as the rotor counts it."""
    found = []
    for _, kind, hex_bytes in sim.frames("tx"):
        b = [int(x, 16) for x in hex_bytes.split()]
        if kind == "STATE" and len(b) == 12:
            found.append(b[1] * 100 + b[2] * 10 + b[3] + b[4] / 10 - 360)
    return found


def largest_turn_back(azimuths):
    """The largest fall of a rising sequence below its highest value so far."""
    top, worst = azimuths[0], 0.0
    for azimuth in azimuths:
        top = max(top, azimuth)
        worst = max(worst, top - azimuth)
    return worst


def north_pass_beyond_360():
    """0-450 picked in the system menu: a pass across north, clockwise from
    283 to 77 degrees, gets set points beyond 360 and the rotor follows
    without turning back; the choice is stored and holds after a restart
    (whether the menu shows it checked is tested in-process: Wine does not
    let another process read a window's menu)."""
    with Rig("north_pass_beyond_360") as rig:
        reg_add(SETTINGS_KEY, "ComSeq", SEQ_FAST)
        sim = rig.rotor("COM5", "--range", "0-450", "--rate", "60", "30", "--position", "281", "0")
        rig.zenitrak("--pass", "north", "--interval", "250", "--scale", "16", "--once", "--paused")
        window = rig.start()
        window.wait_text("s_ac", "Opened")
        window.drive("syscommand", "--id", str(RANGE_450_ID))
        rig.tracking.send("pause off")
        wait_for("the pass to set", lambda: [t for t in sim.targets() if float(t[0]) > 430], 120, 0.5)
        targets = [float(az) for az, *_ in sim.targets()]
        expect(largest_turn_back(targets) <= 3, f"set points turned back: {targets}")
        turned = largest_turn_back(rotor_azimuths(sim))
        expect(turned <= 3, f"the rotor turned back {turned:.1f} degrees")
        rig.stop_program()
        expect(reg_query(SETTINGS_KEY, "AzimuthRange") == ("REG_SZ", "0-450"), "AzimuthRange not stored")

        # Restarted with the rotor at 355 and the target at 5: 365, not 5.
        sim.command("position 355 10")
        rig.tracking.stop()
        rig.zenitrak("--line", "SNISS AZ5.0 EL10.0")
        before = len(sim.targets())
        rig.start()
        wait_for("a SET after the restart", lambda: len(sim.targets()) > before, 20)
        expect(sim.targets()[before][0] == "365.00", f"after the restart the set point was {sim.targets()[before]}")


def between_passes():
    """Unattended, waiting between passes behind a mask of 10 degrees, a
    pass flown four times faster than real (a line every 250 ms, each a
    second of the satellite's time): 60 s 10 degrees below the horizon get
    at most one SET; as the satellite climbs the rotor goes to where it
    will cross the mask and is there (within 2 degrees) when it does; no set
    point lies below the mask; "park" picked during the pass sends the rotor
    to the park position once the satellite has set; the log reports the
    pass."""
    shutil.rmtree(LOG_DIR, ignore_errors=True)
    with Rig("between_passes") as rig:
        track, azimuth = [], 100.0
        for elevation in [-10.0] * 60 + [-10 + 0.25 * i for i in range(1, 89)] + [32 - i for i in range(1, 41)]:
            track.append(f"SNISS AZ{azimuth:.2f} EL{elevation:.2f}")
            azimuth += 0.25
        sim, tracking, window = started(rig, ("Unattended", "1"), ("BetweenPasses", "wait"), ("HorizonMask", str(MASK)),
                                        ("ParkPosition", "0 45"), rotor=("--position", "200", "20"),
                                        tracking=("--script", script(rig, "pass.txt", track)))
        tracking.send("pause off")
        wait_for("the pass to climb above 20", lambda: any(el >= 20 for _, _, el in tracking.lines), 60, 0.2)
        window.drive("syscommand", "--id", str(PARK_ID))
        set_at = wait_for("the set", lambda: next((t for t, _, el in tracking.lines[60:] if el < 0), None), 30, 0.2)
        wait_for("a SET to the park position", lambda: [p for p in set_points(sim) if p[0] > set_at and p[1:] == (0, 45)],
                 20, 0.2)
        points = set_points(sim)
        below = [t for t, _, el in tracking.lines[:60]]
        early = [p for p in points if below[0] <= p[0] <= below[-1] + 1500]
        expect(len(early) <= 1, f"SET frames while 10 degrees below: {early}")
        crossed, rise_azimuth, _ = next(line for line in tracking.lines if line[2] >= MASK)
        rotor = [r for r in replies(sim) if r[0] <= crossed][-1]
        expect(abs(rotor[1] - rise_azimuth) <= 2 and abs(rotor[2] - MASK) <= 2,
               f"at the rise ({rise_azimuth:.2f}) the rotor stood at {rotor[1:]}")
        expect(all(el >= MASK - 0.05 for _, _, el in points), f"a set point below the mask: {points}")
        wait_logged("ISS pass: rose")
        line = next(line for line in log_lines() if "ISS pass: rose" in line)
        reported = float(line.split("rose ")[1].split(" at azimuth ")[1].split(",")[0])
        expect(abs(reported - rise_azimuth) <= 0.3 and "SET frames" in line, f"the report: {line}")
        print(line)


if __name__ == "__main__":
    run_scenario([north_pass_beyond_360, between_passes])
