"""End-to-end scenarios of whole passes: python3 passes.py SCENARIO."""
from rig import SETTINGS_KEY, Failure, Rig, reg_add, reg_query, run_scenario, wait_for

RANGE_450_ID = 0x110  # the system menu's "0°–450°"
SEQ_FAST = "G-500, S-1000"


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


if __name__ == "__main__":
    run_scenario([north_pass_beyond_360])
