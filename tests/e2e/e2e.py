"""End-to-end scenarios: python3 e2e.py SCENARIO (CTest runs each one)."""
import statistics
import time

from rig import (OTHER_PORT, PORT, SETTINGS_KEY, Failure, Rig, reg_add, reg_key_exists,
                 reg_query, run_scenario, wait_for)

SEQ_SLOW, SEQ_FAST = "G-500, S-2500", "G-500, S-1000"
ISS = 'SN"ISS (ZARYA)" AZ123.4 EL10.5 UP145800000.4 DN437800000 UMFM DMFM'


def expect(condition, message):
    if not condition:
        raise Failure(message)


def times_of(frames, kind):
    return [t for t, k, _ in frames if k == kind]


def periods(stamps):
    return [b - a for a, b in zip(stamps, stamps[1:])]


def within(value, low, high, what):
    expect(low <= value <= high, f"{what}: {value:.3f} s not within {low}..{high}")


def started(rig, *zenitrak_options, line=ISS):
    """The usual surroundings: a rotator on PORT, the tracking program
    publishing one line, and the program running with its port open."""
    sim = rig.rotor()
    rig.zenitrak("--line", line, *zenitrak_options)
    window = rig.start()
    window.wait_text("s_ac", "Opened")
    window.wait_text("l_dd", "Opened")
    return sim, window


# --- scenarios -------------------------------------------------------------

def first_start():
    """Empty registry: key created, defaults shown, DDE and port opened;
    closing the window sends STOP and writes both values."""
    with Rig("first_start") as rig:
        sim, window = started(rig)
        expect(reg_key_exists(SETTINGS_KEY), "settings key not created at start-up")
        expect(reg_query(SETTINGS_KEY, "ComPort") is None, "ComPort written before shut-down")
        texts = window.texts()
        expect(texts["CPP"] == PORT, f"port selector shows {texts['CPP']!r}")
        expect(texts["cs"] == SEQ_SLOW, f"sequence shows {texts['cs']!r}")
        window.wait_text("l_na", "ISS (ZARYA)")
        texts = window.texts()
        expect((texts["l_az"], texts["l_el"], texts["l_uf"], texts["l_df"], texts["l_um"], texts["l_dm"]) ==
               ("123.4", "10.5", "145800000 Hz", "437800000 Hz", "FM", "FM"), f"record shown as {texts}")
        sim.wait_frames("the first SET", lambda f: "SET" in [k for _, k, _ in f])
        window.wait_text("s_dv", "1")
        stops_before = sim.kinds().count("STOP")
        rig.stop_program()
        expect(sim.kinds().count("STOP") == stops_before + 1, "no STOP at shut-down")
        expect(sim.kinds()[-1] == "STOP", f"last frame was {sim.kinds()[-1]}")
        expect(reg_query(SETTINGS_KEY, "ComPort") == ("REG_SZ", PORT), "ComPort not written")
        expect(reg_query(SETTINGS_KEY, "ComSeq") == ("REG_SZ", SEQ_SLOW), "ComSeq not written")


def check_cycle(sim, period, cycles):
    sim.wait_states(0, cycles + 1, f"{cycles} cycles", 8 + cycles * period)
    frames = sim.frames()
    states = times_of(frames, "STATE")[1:]  # the first follows the port opening
    sets = times_of(frames, "SET")
    step = statistics.median(periods(states))
    within(step, period - 0.2, period + 0.2, "median STATE period")
    for state in states[:-1]:
        after = [s for s in sets if state < s < state + period]
        expect(len(after) <= 1, f"more than one SET in a cycle at {state:.3f}")
    return states, sets


def timing_sequences():
    """STATE every 3000 ms and SET 500 ms later; after choosing the second
    sequence, every 1500 ms. A satellite below the horizon gets SET with
    elevation 0 on every cycle."""
    below = 'SN"AO-7" AZ200 EL-5 UP145800000 DN29500000 UMUSB DMUSB'
    with Rig("timing_sequences") as rig:
        sim, window = started(rig, line=below)
        states, sets = check_cycle(sim, 3.0, 4)
        for state in states[:-1]:
            after = [s for s in sets if state < s < state + 3.0]
            expect(len(after) == 1, f"no SET in the cycle at {state:.3f}")
            within(after[0] - state, 0.3, 0.8, "STATE to SET")
        targets = sim.targets()
        expect(set(targets) == {("200.00", "0.00")}, f"set points {targets}, not 200.0/0.0 on every cycle")
        window.pick("cs", SEQ_FAST)
        sim.wait_states(0, len(states) + 6, "the fast sequence", 30)
        fast = [t for t in times_of(sim.frames(), "STATE") if t > states[-1] + 3.5]
        within(statistics.median(periods(fast)), 1.3, 1.7, "median STATE period of the fast sequence")
        rig.stop_program()
        expect(reg_query(SETTINGS_KEY, "ComSeq") == ("REG_SZ", SEQ_FAST), "ComSeq not written")


def unnamed_satellite():
    """While the record holds no satellite only STATE frames go out; a named
    one above the horizon gets one SET and then only when it moves."""
    with Rig("unnamed_satellite") as rig:
        sim = rig.rotor()
        window = rig.start()  # no tracking program: the record stays cleared
        window.wait_text("s_ac", "Opened")
        expect(window.text("l_na") == "?", "record not cleared")
        sim.wait_states(0, 3, "three STATE frames")
        expect(set(sim.kinds()) == {"STATE"}, f"frames other than STATE: {sim.kinds()}")


def fast_sequence_from_registry():
    with Rig("fast_sequence_from_registry") as rig:
        reg_add(SETTINGS_KEY, "ComSeq", SEQ_FAST.lower())
        reg_add(SETTINGS_KEY, "ComPort", OTHER_PORT.lower())
        rig.rotor(PORT)
        other = rig.rotor(OTHER_PORT)
        rig.zenitrak("--line", ISS)
        window = rig.start()
        window.wait_text("s_ac", "Opened")
        expect(window.text("cs") == SEQ_FAST, "stored sequence not selected")
        expect(window.text("CPP") == OTHER_PORT, "stored port not selected")
        check_cycle(other, 1.5, 4)
        # The target does not move: after the first SET only STATE frames.
        expect(other.kinds().count("SET") == 1, f"SET frames: {other.kinds()}")


def faulty_replies():
    """A split reply is read whole; a stalled reply and a silent controller
    give "Transmission error"; answering again brings recovery."""
    with Rig("faulty_replies") as rig:
        sim, window = started(rig, "--paused")
        window.wait_text("s_dv", "1")
        sim.command("fault split")
        sim.wait_states(sim.states("tx"), 2, "a split reply", direction="tx")
        expect(not window.visible("s_te"), "a split reply counted as an error")
        for fault in ("stall 5", "silent"):
            sim.command(f"fault {fault}")
            window.wait_visible("s_te", True, 15)
            expect(window.text("s_te") == "Transmission error", "error label text")
            sim.command("fault none")
            window.wait_visible("s_te", False, 15)
        expect(window.text("s_ac") == "Opened", "port state lost")


def port_released_during_exchange():
    """Releasing "Open port" while a reply is on its way: the exchange ends,
    STOP goes out, the port closes; pressing it again reopens."""
    with Rig("port_released") as rig:
        sim, window = started(rig, "--paused")
        sim.command("delay 400")  # replies start late: the click lands inside an exchange
        sim.wait_states(sim.states(), 1, "a STATE frame", 10)
        window.click("op")
        window.wait_text("s_ac", "Closed")
        kinds = sim.kinds()
        expect(kinds[-1] == "STOP", f"last frame {kinds[-1]}, not STOP")
        replies = sim.frames("tx")
        expect(len(replies) >= len(kinds) - 1, "STOP sent before the exchange ended")
        expect(window.text("l_cm") == "", f"last command shows {window.text('l_cm')!r}")
        expect(not window.visible("s_te"), "error label visible after closing")
        time.sleep(1.6)
        expect(sim.kinds() == kinds, "frames sent after the port closed")
        window.click("op")
        window.wait_text("s_ac", "Opened")
        sim.wait_frames("STATE after reopening", lambda f: len(f) > len(kinds), 5)


def port_change():
    """A pick in the port selector closes the port and opens the new one."""
    with Rig("port_change") as rig:
        first, window = started(rig, "--paused")
        second = rig.rotor(OTHER_PORT)
        first.wait_frames("a STATE frame", lambda f: len(f) >= 1)
        window.pick("CPP", OTHER_PORT)
        second.wait_states(0, 1, "STATE on the new port", 10)
        window.wait_text("s_ac", "Opened")
        count = len(first.frames())
        time.sleep(3.5)
        expect(len(first.frames()) == count, "frames still go to the old port")
        rig.stop_program()
        expect(reg_query(SETTINGS_KEY, "ComPort") == ("REG_SZ", OTHER_PORT), "ComPort not written")


def tracking_program_quits():
    """The tracking program quitting: "Closed", "No data", cleared record;
    after it is back, a click on the icon reconnects and data flows."""
    with Rig("tracking_quits") as rig:
        sim, window = started(rig)
        window.wait_text("l_na", "ISS (ZARYA)")
        rig.tracking.stop()
        window.wait_text("l_dd", "Closed")
        texts = window.texts()
        expect(texts["l_st"] == "No data", f"received string {texts['l_st']!r}")
        expect((texts["l_na"], texts["l_az"], texts["l_el"], texts["l_uf"]) == ("?", "0.0", "0.0", "0 Hz"),
               f"record not cleared: {texts}")
        rig.zenitrak("--line", 'SN"AO-91" AZ10 EL20')
        time.sleep(2)
        expect(window.text("l_dd") == "Closed", "reconnected by itself")
        window.click("Image1")
        window.wait_text("l_dd", "Opened")
        window.wait_text("l_na", "AO-91")


def tracking_program_started():
    """No tracking program running at start: the one beside the exe is started."""
    with Rig("tracking_started") as rig:
        rig.place_zenitrak_beside()
        rig.rotor()
        window = rig.start()
        window.wait_text("l_dd", "Opened", 30)
        window.wait_text("l_na", lambda text: text not in ("?", ""), 30)


def tracking_program_started_later():
    """No tracking program at start and none to start: "Closed"; the user
    starts it by hand and clicks the icon: the line shows and a SET follows."""
    with Rig("tracking_started_later") as rig:
        sim = rig.rotor()
        window = rig.start()
        window.wait_text("s_ac", "Opened")
        time.sleep(2)
        expect(window.text("l_dd") == "Closed", f"DDE status {window.text('l_dd')!r} without a tracking program")
        rig.zenitrak("--line", ISS)
        window.click("Image1")
        window.wait_text("l_dd", "Opened")
        window.wait_text("l_na", "ISS (ZARYA)")
        sim.wait_frames("a SET to the line's target", lambda f: ("123.00", "10.00") in sim.targets())


def error_dialogs(rig):
    return rig.window_lines("Gyrotalk")


def device_unplugged():
    """The controller's line disappears (an unplugged adapter): every tick's
    failing write is reported, but never more than one dialog at a time, the
    window stays responsive, and releasing and pressing "Open port" after the
    device is back makes it work again."""
    with Rig("device_unplugged") as rig:
        sim, window = started(rig)
        window.wait_text("s_dv", "1")
        sim.stop()
        wait_for("an error dialog", lambda: error_dialogs(rig), 15)
        for _ in range(5):  # ten ticks of the cycle
            expect(len(error_dialogs(rig)) == 1, "error dialogs stacked")
            expect(window.text("s_ac") == "Opened", "window did not answer")
            time.sleep(1)
        back = rig.rotor()
        window.click("op")
        window.wait_text("s_ac", "Closed")
        window.click("op")
        window.wait_text("s_ac", "Opened")
        back.wait_states(0, 1, "STATE on the reopened port", 10)
        rig.dismiss_dialogs("Gyrotalk")
        window.wait_text("s_dv", "1")
        window.wait_visible("s_te", False)


if __name__ == "__main__":
    run_scenario([first_start, timing_sequences, unnamed_satellite,
                  fast_sequence_from_registry, faulty_replies,
                  port_released_during_exchange, port_change, tracking_program_quits,
                  tracking_program_started, tracking_program_started_later, device_unplugged])
