"""The whole chain's soak: Gyrotalk.exe under Wine with the rotor simulator
(600 baud pacing) and the tracking simulator flying its pass over and over,
the fast sequence for MINUTES. Then the tracking simulator stops, the rotor
is left to reach the last target and the window is closed. Run through
bench/soak.sh, which builds the programs and sets the environment.

    python3 soak.py MINUTES [--faults]

With --faults the program runs unattended and meets a fault every 3 minutes
(fault_schedule.py): the line gone, the tracking program killed, the controller
silent. Then the checks also ask that every fault was mended without a click
within 10 s of the device or program being back, that no dialog ever showed,
and no cycle was missed outside the faults.

Checks, each printed with its figures (exit status 1 if one fails):
- no missed cycle: no period between STATE frames longer than 1.5 cycles;
- no growth of memory or handles: the end's values against the samples taken
  after 1 and 5 minutes (what Windows sees, ProcessProbe.exe);
- the position the rotor stopped at (the simulator's "stop" line) equals the
  last SET frame's target within the simulator's resolution (0.1 degree),
  and that target is the last tracking line shown;
- no error dialog, no "Transmission error" at the end, STOP the last frame.
"""
import getpass
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from chain import (PORT, cpu_ms, log_events, now_ms, number, prepare, private_resident_kib, probe,  # noqa: E402
                   tracking_running, wait_ended)
from fault_schedule import FAULT_EVERY_S, Faults, dialogs_now  # noqa: E402
from rig import (MODEMSHIM, SETTINGS_KEY, WINE_RUN, WINEPREFIX, Failure, RotorSim, Window, Zenitrak,  # noqa: E402
                 reg_add, wait_for)

CYCLE_MS = 1500
SAMPLE_EVERY_S = 300
RESOLUTION = 0.1
RESUME_GOAL_S = 10
TRACKING_OPTIONS = ("--interval", "1000")
LOG = os.path.join(WINEPREFIX, "drive_c", "users", getpass.getuser(), "AppData", "Local", "Gyrotalk",
                   "Gyrotalk.log")


class Soak:
    def __init__(self, minutes):
        self.seconds = minutes * 60
        self.samples = []  # (minutes since start, (private bytes, handles) or None, resident private KiB)
        self.failures = []

    def check(self, ok, text):
        print(f"  {'ok  ' if ok else 'FAIL'} {text}")
        if not ok:
            self.failures.append(text)

    def sample(self, pid):
        windows = probe("Gyrotalk.exe").get("Gyrotalk.exe")
        self.samples.append(((now_ms() - self.start) / 60000, windows, private_resident_kib(pid)))


def main(minutes, with_faults):
    soak = Soak(minutes)
    workdir, exe = prepare("soak")
    if with_faults:
        reg_add(SETTINGS_KEY, "Unattended", "1")
        if os.path.exists(LOG):
            os.remove(LOG)
    window = Window()
    # The built-in pass, a step a second: the target moves all the time,
    # rising, crossing, setting and starting over.
    faults = Faults(workdir, RotorSim(workdir, PORT, "--pace"), Zenitrak(*TRACKING_OPTIONS), TRACKING_OPTIONS)
    program = None
    dialogs_seen = set()
    try:
        wait_for("the tracking simulator", tracking_running, 60, step=0.5)
        soak.start = now_ms()
        program = subprocess.Popen([WINE_RUN, exe], cwd=workdir, env=dict(os.environ, LD_PRELOAD=MODEMSHIM),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the first STATE", lambda: any(d == "rx" and k == "STATE" for _, d, k in faults.events()), 60)
        cpu_from = cpu_ms(program.pid)
        marks = [(mark, "sample") for mark in
                 [60] + list(range(SAMPLE_EVERY_S, int(soak.seconds), SAMPLE_EVERY_S)) + [soak.seconds]]
        if with_faults:
            marks += [(mark, "fault") for mark in range(FAULT_EVERY_S, int(soak.seconds), FAULT_EVERY_S)]
        for mark, what in sorted(marks):
            while now_ms() < soak.start + mark * 1000:
                if program.poll() is not None:
                    raise Failure(f"Gyrotalk ended early ({program.returncode})")
                if with_faults:
                    dialogs_seen.update(dialogs_now())
                time.sleep(1)
            if what == "fault":
                faults.inject()
                continue
            soak.sample(program.pid)
            print(f"  {soak.samples[-1][0]:5.1f} min: {describe(soak.samples[-1])}", flush=True)
        cpu_used = cpu_ms(program.pid) - cpu_from
        soak_end = now_ms()
        faults.tracking.send("pause on")
        settle(window)
        last_line = window.texts()
        dialogs = dialogs_now()
        dialogs_seen.update(dialogs)
        error_shown = window.visible("s_te")
        window.drive("close", "--timeout", "30000", check=False, timeout=90)
        closed = wait_ended(program, 30)
    finally:
        if program and program.poll() is None:
            program.terminate()
            program.wait(10)
        faults.tracking.stop()
        faults.sim.stop()
    report(soak, faults, soak_end, cpu_used, last_line, dialogs, error_shown, closed)
    if with_faults:
        report_faults(soak, faults, dialogs_seen)
    print(f"{'passed' if not soak.failures else 'FAILED'}: {len(soak.failures)} of the checks failed")
    return 1 if soak.failures else 0


def report_faults(soak, faults, dialogs_seen):
    print("  Faults (unattended):")
    mended = [(kind, (resumed - back) / 1000) for kind, _, back, resumed in faults.results if resumed]
    for kind in sorted({kind for kind, *_ in faults.results}):
        times = [s for k, s in mended if k == kind]
        of_kind = sum(1 for k, *_ in faults.results if k == kind)
        print(f"    {kind}: {of_kind} injected, {len(times)} resumed without a click, "
              + (f"after median {statistics.median(times):.1f} s, max {max(times):.1f} s" if times else ""))
    times = [s for _, s in mended]
    soak.check(len(mended) == len(faults.results) and faults.results,
               f"every fault survived: {len(mended)} of {len(faults.results)} resumed without a click")
    soak.check(bool(times) and max(times) <= RESUME_GOAL_S,
               f"resumed within {RESUME_GOAL_S} s of the device or program being back: median "
               f"{statistics.median(times) if times else 0:.1f} s, max {max(times) if times else 0:.1f} s")
    soak.check(not dialogs_seen, f"no dialog seen during the run ({len(dialogs_seen)})")
    size = os.path.getsize(LOG) if os.path.exists(LOG) else None
    soak.check(size is not None, f"the log: {size} bytes")


def settle(window):
    """Waits until the rotor's position shown has not changed for five
    cycles: it has reached the last target (at most 90 s of slewing)."""
    last, since = None, now_ms()
    end = now_ms() + 90000
    while now_ms() < end:
        texts = window.texts()
        shown = (texts["s_az"], texts["s_el"])
        if shown != last:
            last, since = shown, now_ms()
        elif now_ms() - since > 5 * CYCLE_MS:
            return
        time.sleep(0.5)


def describe(sample):
    _, windows, resident = sample
    committed = f"private {windows[0] // 1024} KiB, handles {windows[1]}" if windows else "not seen by ProcessProbe"
    return f"{committed}, resident private {resident} KiB"


def stop_position(log_path):
    with open(log_path) as log:
        stops = [line.split() for line in log if line.split()[1:2] == ["stop"]]
    return (float(stops[-1][2]), float(stops[-1][3])) if stops else None


def report(soak, faults, soak_end, cpu_used, last_line, dialogs, error_shown, closed):
    events = faults.events()
    states = [t for t, d, k in events if d == "rx" and k == "STATE" and t <= soak_end]
    periods = [b - a for a, b in zip(states, states[1:]) if faults.outside(a, b)]
    sets = [k for t, d, k in events if d == "target" and t <= soak_end]
    span_s = (states[-1] - states[0]) / 1000
    print()
    print(f"Soak: {soak.seconds / 60:.0f} min of the fast sequence ({CYCLE_MS} ms), rotor simulator at 600 baud, "
          "the tracking simulator's pass a step a second")
    print(f"  {len(states)} STATE frames, {len(sets)} SET frames; CPU of the Gyrotalk process "
          f"{cpu_used / 1000:.1f} s = {100 * cpu_used / 1000 / span_s:.2f} % of one core")
    print(f"  STATE period: median {statistics.median(periods):.1f} ms, min {min(periods):.1f} ms, "
          f"max {max(periods):.1f} ms")
    missed = [p for p in periods if p > 1.5 * CYCLE_MS]
    soak.check(not missed, f"no missed cycle outside the faults ({len(missed)} periods over {1.5 * CYCLE_MS:.0f} ms)")
    if not faults.results:
        expected = int(span_s * 1000 / CYCLE_MS) + 1
        soak.check(abs(len(states) - expected) <= 1,
                   f"{len(states)} STATE frames in {span_s:.0f} s, {expected} expected")

    print("  Memory and handles (Windows: committed private bytes and handles; Linux: resident private):")
    for sample in soak.samples:
        print(f"    {sample[0]:5.1f} min: {describe(sample)}")
    seen = [s for s in soak.samples if s[1]]
    if len(seen) == len(soak.samples) and len(seen) >= 2:
        # Memory is judged from the second sample on; the growth since the
        # first is printed beside it.
        settled_at = seen[min(1, len(seen) - 2)]
        first, settled, end = seen[0][1], settled_at[1], seen[-1][1]
        # The first fault is the process's first C++ exception: the runtime
        # makes its two semaphores then, once.
        base = settled if faults.results else first
        soak.check(end[1] <= base[1], f"no growth of handles ({first[1]} after 1 min, {settled[1]} after "
                                      f"{settled_at[0]:.0f} min, {end[1]} at the end)")
        soak.check(end[0] <= settled[0],
                   f"no growth of memory after {settled_at[0]:.0f} min ({settled[0] // 1024} KiB, "
                   f"{end[0] // 1024} KiB at the end; {(end[0] - first[0]) // 1024:+d} KiB since 1 min)")
    else:
        soak.check(False, "every sample seen by ProcessProbe")

    targets = [k for _, d, k in events if d == "target"]
    target = targets[-1] if targets else None
    stopped = stop_position(faults.sim.log_path)
    soak.check(bool(target and stopped) and all(abs(a - b) <= RESOLUTION / 2 for a, b in zip(target, stopped)),
               f"rotor stopped at {stopped}, the last target {target}")
    line = number(last_line["l_az"]), number(last_line["l_el"])
    soak.check(bool(target) and None not in line and abs(line[0] - target[0]) < 1 and
               abs(max(0.0, line[1]) - target[1]) < 1,
               f"the last target is the last tracking line shown ({last_line['l_az']}, {last_line['l_el']})")
    kinds = [k for _, d, k in events if d == "rx"]
    soak.check(kinds[-1:] == ["STOP"], f"STOP the last frame ({kinds[-1:]})")
    soak.check(not dialogs and not error_shown, f"no error dialog ({len(dialogs)}), no transmission error shown")
    soak.check(closed, "the window closed and the process ended within 30 s")


if __name__ == "__main__":
    sys.exit(main(float(sys.argv[1]), "--faults" in sys.argv[2:]))
