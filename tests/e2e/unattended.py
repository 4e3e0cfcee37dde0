"""A station that nobody watches: python3 unattended.py SCENARIO (CTest runs
each one). The first two run with the default settings: a tracking program
that is killed is noticed, and a second copy cannot drive the same port.
The others run with "Unattended" on: faults mend themselves, no dialog
waits, and the log tells what happened."""
import getpass
import os
import shutil
import signal
import subprocess
import time

from e2e import ISS, expect, started
from rig import (CAPTION, MODEMSHIM, SETTINGS_KEY, WINE_RUN, WINEPREFIX, Failure, Rig, Window, reg_add,
                 run_scenario, wait_for)

LOG_DIR = os.path.join(WINEPREFIX, "drive_c", "users", getpass.getuser(), "AppData", "Local", "Gyrotalk")
LOG, OLD_LOG = os.path.join(LOG_DIR, "Gyrotalk.log"), os.path.join(LOG_DIR, "Gyrotalk.1.log")
AO91 = 'SN"AO-91" AZ10 EL20'


def no_dialog(rig):
    lines = rig.window_lines("Gyrotalk")
    expect(not lines, f"error dialog: {lines}")


def log_lines():
    with open(LOG, errors="replace") as log:
        return [line.rstrip("\n")[20:] for line in log]  # without the date and time


def wait_logged(text, limit=20):
    return wait_for(f"{text!r} in the log", lambda: any(text in line for line in log_lines()), limit, 0.5)


def station(name):
    """A rig whose program runs unattended, with an empty log folder."""
    shutil.rmtree(LOG_DIR, ignore_errors=True)
    rig = Rig(name)
    reg_add(SETTINGS_KEY, "Unattended", "1")
    return rig


def second_copy(rig):
    env = dict(os.environ, LD_PRELOAD=MODEMSHIM)
    return subprocess.Popen([WINE_RUN, rig.exe], cwd=rig.workdir, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# --- the default settings ---------------------------------------------------

def tracking_killed_noticed():
    """The tracking program is killed (it says no goodbye): within 10 s the
    window shows "Closed", "No data" and the cleared record, and no SET goes
    to the dead line; started again by hand, a click brings the line back."""
    with Rig("tracking_killed_noticed") as rig:
        sim, window = started(rig)
        window.wait_text("l_na", "ISS (ZARYA)")
        rig.tracking.kill()
        window.wait_text("l_dd", "Closed", 10)
        texts = window.texts()
        expect((texts["l_st"], texts["l_na"], texts["l_az"], texts["l_el"]) == ("No data", "?", "0.0", "0.0"),
               f"not cleared: {texts}")
        sets = sim.kinds().count("SET")
        sim.wait_states(sim.states(), 2, "two more cycles")
        expect(sim.kinds().count("SET") == sets, "a SET went out after the tracking program died")
        rig.zenitrak("--line", AO91)
        window.click("Image1")
        window.wait_text("l_na", "AO-91")
        no_dialog(rig)


def second_copy_refused():
    """A second copy on the same port: its port stays "Closed", and only the
    first one's cycle goes out on the line."""
    with Rig("second_copy_refused") as rig:
        sim, window = started(rig, "--paused")
        first = window.pid_now()
        window = Window(first)
        other = second_copy(rig)
        try:
            pids = wait_for("the second window", lambda: [p for p in windows_pids(rig) if p != first], 30)
            second = Window(pids[0])
            time.sleep(3)
            expect(second.text("s_ac") == "Closed", f"the second copy's port: {second.text('s_ac')!r}")
            expect(window.text("s_ac") == "Opened", "the first copy lost its port")
            since = sim.states()
            sim.wait_states(since, 3, "three cycles")
            states = [t for t, kind, _ in sim.frames() if kind == "STATE"][since:]
            gaps = [b - a for a, b in zip(states, states[1:])]
            expect(min(gaps) > 2.5, f"STATE frames of two cycles: {gaps}")
            expect(not window.visible("s_te"), "a transmission error")
            second.close()
            other.wait(30)
        finally:
            if other.poll() is None:
                other.kill()


def windows_pids(rig):
    return [int(line.split("pid=")[1].split()[0]) for line in rig.window_lines(CAPTION)]


# --- unattended ---------------------------------------------------------------

def line_gone_and_back():
    """The rotor's line goes (the simulator's terminal closes) and comes back
    on a new terminal: "Closed", no dialog, then STATE and a SET within 15 s
    of its return, without a click. A full log rolls over at start-up."""
    rig = station("line_gone_and_back")
    os.makedirs(LOG_DIR)
    with open(LOG, "w") as full:
        full.write("x" * (1024 * 1024 - 10) + "\n")
    with rig:
        sim, window = started(rig)
        window.wait_text("s_dv", "1")
        expect(os.path.getsize(OLD_LOG) == 1024 * 1024 - 9, "the full log was not rolled over")
        sim.stop()
        window.wait_text("s_ac", "Closed", 15)
        time.sleep(6)  # a try or two of the port while it is away
        no_dialog(rig)
        back = rig.rotor()
        back.wait_frames("STATE and SET", lambda f: {"STATE", "SET"} <= {k for _, k, _ in f}, 15)
        window.wait_text("s_ac", "Opened")
        no_dialog(rig)
        rig.stop_program()
    lines = log_lines()
    for text in ("start ", "port COM5 opened", "port COM5 lost: ", "port COM5 back", "exit"):
        expect(any(line.startswith(text) for line in lines), f"no {text!r} in the log: {lines}")
    expect(os.path.getsize(LOG) < 4096, "the new log is not small")


def tracking_restarted():
    """The tracking program is killed and started again by hand: its line is
    shown again within 15 s, without a click."""
    with station("tracking_restarted") as rig:
        sim, window = started(rig)
        window.wait_text("l_na", "ISS (ZARYA)")
        rig.tracking.kill()
        window.wait_text("l_dd", "Closed", 10)
        rig.zenitrak("--line", AO91)
        window.wait_text("l_na", "AO-91", 15)
        sim.wait_frames("a SET to the new target", lambda f: ("10.00", "20.00") in sim.targets(), 15)
        window.drive("resume")
        wait_logged("resumed from standby")
        no_dialog(rig)
    lines = log_lines()
    for text in ("tracking program connected", "satellite ISS (ZARYA)", "tracking program gone",
                 "tracking program back", "satellite AO-91"):
        expect(text in lines, f"no {text!r} in the log: {lines}")


def controller_silent():
    """The controller stops answering for 5 s and comes back with the target
    unchanged: the set point it lost goes out again."""
    with station("controller_silent") as rig:
        sim, window = started(rig, "--paused")
        sim.wait_frames("the first SET", lambda f: "SET" in [k for _, k, _ in f])
        sim.command("fault silent")
        window.wait_visible("s_te", True, 15)
        time.sleep(5)
        sets = sim.kinds().count("SET")
        sim.command("fault none")
        window.wait_visible("s_te", False, 15)
        sim.wait_frames("the SET again", lambda f: [k for _, k, _ in f].count("SET") > sets, 15)
        no_dialog(rig)
    lines = log_lines()
    expect("transmission error" in lines, f"the silence is not in the log: {lines}")
    expect(any(line.startswith("replies again after ") for line in lines), f"its end is not in the log: {lines}")


def second_copy_ends(rig):
    other = second_copy(rig)
    try:
        other.wait(30)
    except subprocess.TimeoutExpired:
        other.kill()
        raise Failure("the second copy runs on") from None


def second_copy_hands_over():
    """A second copy, started by hand beside the one started at log-on: it
    brings the first one forward and ends, and the first one drives on."""
    with station("second_copy_hands_over") as rig:
        sim, window = started(rig)
        second_copy_ends(rig)
        since = sim.states()
        sim.wait_states(since, 2, "the first copy's cycle")
        expect(window.text("s_ac") == "Opened", "the first copy lost its port")
        wait_logged("a second copy was started and ended")


def second_copy_during_recovery():
    """A second copy started while the port is lost and tried again ends; the
    port comes back to the first, whose Exit leaves STOP as the last frame
    for good."""
    with station("second_copy_during_recovery") as rig:
        sim, window = started(rig)
        sim.stop()
        window.wait_text("s_ac", "Closed", 15)
        second_copy_ends(rig)
        back = rig.rotor()
        back.wait_frames("STATE and SET", lambda f: {"STATE", "SET"} <= {k for _, k, _ in f}, 15)
        rig.stop_program()
        time.sleep(10)
        expect(back.kinds()[-1] == "STOP", f"after the STOP: {back.kinds()[-4:]}")


def tracking_signal(number):
    """Sends a signal to this prefix's tracking simulator, as a user's kill would."""
    mark = f"WINEPREFIX={WINEPREFIX}\0".encode()
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as cmdline, open(f"/proc/{entry}/environ", "rb") as environ:
                if b"zenitrak.exe" in cmdline.read().lower() and mark in environ.read():
                    os.kill(int(entry), number)
        except (OSError, ValueError):
            pass


def tracking_program_hung():
    """The tracking program is stopped (SIGSTOP, not killed): within 10 s the
    window says "Not responding", and no SET goes to its frozen line, not even
    after the port was closed and opened again; when it runs again, all
    resumes. A line that stands still while the program answers is no hang.
    The log's folder is a file at the start and then back: the title says
    "(no log)" until the log is written again, at the first event a minute
    later, with the count of the events lost."""
    with station("tracking_program_hung") as rig:
        open(LOG_DIR, "w").close()
        reg_add(SETTINGS_KEY, "ComSeq", "G-500, S-1000")
        rig.window = Window(caption=CAPTION + " (no log)")
        sim, window = started(rig)
        log_failed_by = time.monotonic()
        os.remove(LOG_DIR)
        window.wait_text("l_na", "ISS (ZARYA)")
        time.sleep(max(0, rig.started_at + 8 - time.monotonic()))  # looks at a program that answers
        expect(window.text("l_dd") == "Opened", f"a standing line taken as a hang: {window.text('l_dd')!r}")
        tracking_signal(signal.SIGSTOP)
        try:
            window.wait_text("l_dd", "Not responding", 10)
            sets = sim.kinds().count("SET")
            window.click("op")
            window.wait_text("s_ac", "Closed")
            window.click("op")
            window.wait_text("s_ac", "Opened")
            sim.wait_states(sim.states(), 2, "two cycles")
            expect(sim.kinds().count("SET") == sets, "a SET to the line of a hung tracking program")
            time.sleep(max(0, log_failed_by + 61 - time.monotonic()))  # a minute after the log failed
        finally:
            tracking_signal(signal.SIGCONT)
        rig.window = window = Window()  # the log is back: the title without its note
        window.wait_text("l_dd", "Opened", 10)
        sim.wait_frames("the SET again", lambda f: [k for _, k, _ in f].count("SET") > sets, 10)
    lines = log_lines()
    expect(any(line.startswith("the log could not be written: ") for line in lines), f"no loss counted: {lines}")
    expect("tracking program responds again" in lines, f"the end of the hang is not in the log: {lines}")


if __name__ == "__main__":
    run_scenario([tracking_killed_noticed, second_copy_refused, line_gone_and_back, tracking_restarted,
                  controller_silent, second_copy_hands_over, second_copy_during_recovery, tracking_program_hung])
