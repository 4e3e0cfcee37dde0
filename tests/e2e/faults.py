"""Fault scenarios of the whole chain: python3 faults.py SCENARIO (CTest runs each one)."""
import os
import subprocess
import sys
import time

from e2e import SEQ_SLOW, expect, started, times_of
from rig import (CAPTION, PORT, WINE_RUN, SETTINGS_KEY, Failure, Rig, reg_add, reg_query, wine)

AO91 = 'SN"AO-91" AZ10 EL20'


def no_dialog(rig):
    lines = rig.window_lines("Gyrotalk")
    expect(not lines, f"error dialog: {lines}")


def alive(rig, window):
    """The program runs, answers its window and shows no error dialog."""
    expect(rig.program.poll() is None, f"the program ended ({rig.program.returncode})")
    expect(window.text("s_ac") == "Opened", "window did not answer or port closed")
    no_dialog(rig)


def tracking_killed():
    """The tracking program is killed (no clean disconnect) and started again:
    a click on the icon reconnects and data flows again."""
    with Rig("tracking_killed") as rig:
        sim, window = started(rig)
        window.wait_text("l_na", "ISS (ZARYA)")
        rig.tracking.process.kill()
        rig.tracking.process.wait()
        rig.window.drive("list")  # the program keeps answering
        wine("taskkill", "/f", "/im", "Zenitrak.exe", check=False)
        alive(rig, window)
        rig.zenitrak("--line", AO91)
        window.click("Image1")
        window.wait_text("l_dd", "Opened")
        window.wait_text("l_na", "AO-91")
        expect(window.text("l_st") == AO91, f"received string {window.text('l_st')!r}")
        sim.wait_frames("a SET to the new target", lambda f: ("10.00", "20.00") in sim.targets(), 15)
        alive(rig, window)


def registry_wrong_types():
    """"ComPort" and "ComSeq" of the wrong type: the defaults are used and
    strings written back on exit."""
    with Rig("registry_wrong_types") as rig:
        reg_add(SETTINGS_KEY, "ComPort", "5", "REG_DWORD")
        reg_add(SETTINGS_KEY, "ComSeq", "1", "REG_DWORD")
        sim = rig.rotor()
        window = rig.start()
        window.wait_text("s_ac", "Opened")
        texts = window.texts()
        expect((texts["CPP"], texts["cs"]) == (PORT, SEQ_SLOW), f"selectors show {texts['CPP']!r}, {texts['cs']!r}")
        sim.wait_frames("a STATE frame", lambda f: len(times_of(f, "STATE")) >= 1, 10)
        no_dialog(rig)
        rig.stop_program()
        expect(reg_query(SETTINGS_KEY, "ComPort") == ("REG_SZ", PORT), f"ComPort {reg_query(SETTINGS_KEY, 'ComPort')}")
        expect(reg_query(SETTINGS_KEY, "ComSeq") == ("REG_SZ", SEQ_SLOW), f"ComSeq {reg_query(SETTINGS_KEY, 'ComSeq')}")


def registry_port_gone():
    """"ComPort" naming a port that no longer exists: the selector keeps its
    first port, which is written back on exit."""
    with Rig("registry_port_gone") as rig:
        reg_add(SETTINGS_KEY, "ComPort", "COM9")
        sim = rig.rotor()
        window = rig.start()
        window.wait_text("s_ac", "Opened")
        expect(window.text("CPP") == PORT, f"port selector shows {window.text('CPP')!r}")
        sim.wait_frames("a STATE frame", lambda f: len(times_of(f, "STATE")) >= 1, 10)
        no_dialog(rig)
        rig.stop_program()
        expect(reg_query(SETTINGS_KEY, "ComPort") == ("REG_SZ", PORT), f"ComPort {reg_query(SETTINGS_KEY, 'ComPort')}")


# Lines no tracking program should send, each followed by a pause so that the
# window can be read while it is the published one.
HOSTILE = [
    ("a 64 KiB line", b'SN"BIG" AZ11 EL12 ' + b"X" * (64 * 1024)),
    ("bytes above 127", b'SN"\xc4\xd6\xdc\xff\x80" AZ13 EL14 UM\xe9\xe8'),
    ("an unclosed quote", b'SN"OPEN AZ15 EL16'),
    ("control characters", b'SN"C\x01\x07\x1b" AZ17\x08 EL18\x7f UP1\x0b2'),
    ("huge numbers", b'SN"HUGE" AZ99999999999999999999999 EL-1e400 UP1e999'),
]


def hostile_tracking_lines():
    """Oversized, 8-bit, unclosed and control-laden lines: no dialog, the
    window answers, and every SET frame carries a valid set point."""
    with Rig("hostile_tracking_lines") as rig:
        script = os.path.join(rig.workdir, "hostile.txt")
        with open(script, "wb") as out:
            for _, line in HOSTILE:
                out.write(line + b"\n!pause on\n")
            out.write(AO91.encode() + b"\n")
        sim = rig.rotor()
        rig.zenitrak("--script", script, "--interval", "300", "--once", "--paused")
        window = rig.start()
        window.wait_text("s_ac", "Opened")
        window.wait_text("l_dd", "Opened")
        for what, line in HOSTILE:
            rig.tracking.send("pause off")
            shown = line.split(b" ")[0].decode("latin-1")[:3]
            window.wait_text("l_st", lambda text: text.startswith(shown), 15)
            time.sleep(0.5)
            try:
                alive(rig, window)
            except Failure as error:
                raise Failure(f"after {what}: {error}") from None
        rig.tracking.send("pause off")
        window.wait_text("l_na", "AO-91")
        sim.wait_frames("a SET to the last target", lambda f: ("10.00", "20.00") in sim.targets(), 15)
        targets = sim.targets()
        expect(("invalid",) not in targets, f"invalid set points: {targets}")
        alive(rig, window)


def clean_again(window):
    window.wait_visible("s_te", False, 15)
    window.wait_text("s_dv", "1")


def rotor_faults():
    """A byte flood, overlong replies, a divider of 0 and digits above 9:
    no crash, no dialog, and a clean exchange once the line is sound."""
    with Rig("rotor_faults") as rig:
        sim, window = started(rig, "--paused")
        window.wait_text("s_dv", "1")
        sim.command("fault garbage 40 25")
        end = time.monotonic() + 10
        while time.monotonic() < end:
            alive(rig, window)
            time.sleep(1)
        expect(len(sim.frames("tx")) > 0, "no replies during the flood")
        sim.command("fault none")
        clean_again(window)
        for fault, undo in (("fault extra 2", "fault none"), ("divider 0", "divider 1")):
            count = len(times_of(sim.frames(), "STATE"))
            sim.command(fault)
            sim.wait_frames(f"two cycles with {fault}", lambda f: len(times_of(f, "STATE")) >= count + 2, 15)
            alive(rig, window)
            sim.command(undo)
            clean_again(window)
        # Replies whose digits are above 9, sent while a STATE is awaited.
        sim.command("fault silent")
        for _ in range(3):
            count = len(times_of(sim.frames(), "STATE"))
            sim.wait_frames("a STATE frame", lambda f: len(times_of(f, "STATE")) > count, 10)
            sim.command("send 57 0A 0B 0C 0D 01 FF 0F 0E 0D 01 20")
            time.sleep(0.5)
            alive(rig, window)
        sim.command("fault none")
        clean_again(window)
        alive(rig, window)


SCENARIOS = {f.__name__: f for f in (tracking_killed, registry_wrong_types, registry_port_gone, hostile_tracking_lines, rotor_faults)}

if __name__ == "__main__":
    if len(sys.argv) != 2 or sys.argv[1] not in SCENARIOS:
        sys.exit(f"usage: faults.py {{{'|'.join(SCENARIOS)}}}")
    # Wine's background services, started by the first program of a fresh
    # server, inherit that program's output: start them here with none, so
    # that the rig's captured calls do not wait for them to end.
    subprocess.run(["wineserver", "-p"], capture_output=True)
    subprocess.run([WINE_RUN, "reg", "query", r"HKCU\Software"], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)
    SCENARIOS[sys.argv[1]]()
    print(f"{sys.argv[1]}: passed ({CAPTION})")
