"""The whole chain's benchmark: Gyrotalk.exe under Wine with the rotator
simulator (600 baud pacing) and the tracking simulator flying its pass, the
fast sequence for FAST seconds, then the slow sequence for SLOW seconds; the
yardstick, a minimal window program with a 500 ms timer, runs beside it under
the same wineserver the whole time. Run through bench/chain.sh, which builds
the programs and sets the environment of the end-to-end rig.

    python3 chain.py FAST SLOW

Where the times come from:
- the rotator simulator's log: when each frame was read from the terminal and
  when each reply's first byte was written (CLOCK_MONOTONIC);
- WindowWatch.exe, which reads the program's labels from outside every
  millisecond (QueryPerformanceCounter, which under Wine is
  CLOCK_MONOTONIC_RAW; converted here to CLOCK_MONOTONIC);
- /proc/PID/stat for CPU time, /proc/PID/smaps_rollup for resident private
  memory, ProcessProbe.exe for what Windows sees (committed private memory,
  handles).
"""
import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from rig import (CAPTION, GYROTALK_EXE, IDS, MODEMSHIM, PORT, SERIALCOMM_KEY, SETTINGS_KEY,  # noqa: E402
                 WINDRIVER_EXE, WINE_RUN, WINEPREFIX, ZENITRAK_EXE, Failure, RotorSim, Stamped, Window, Zenitrak,
                 reg_add, reg_delete_key, wait_for, wine, wineserver_pid)

BENCH = os.environ["GYRO_BENCH_DIR"]  # the built bench/chain programs
MINIMAL_EXE = os.path.join(BENCH, "MinimalWindow.exe")
PROBE_EXE = os.path.join(BENCH, "ProcessProbe.exe")
WATCH_EXE = os.path.join(BENCH, "WindowWatch.exe")
MINIMAL_CAPTION = "Minimal window"
MINIMAL_LABEL = 100
SEQ_FAST, SEQ_SLOW = "G-500, S-1000", "G-500, S-2500"
BYTE_MS = 10 * 1000 / 600  # one byte of 10 bits at 600 baud
REPLY_BYTES, FRAME_BYTES = 12, 13
HZ = os.sysconf("SC_CLK_TCK")
LINE_MS = 2300
WITHOUT_S = 30  # the wineserver measured after Gyrotalk has closed
# Where the rotor is put before each reply, in turn, so that every reply
# decodes to values other than the last one's and the labels change.
PLACES = ("50 10", "250 60")


def now_ms():
    return time.monotonic() * 1000.0


def machine():
    """The machine's load as the run ends, for reading the CPU and timing figures."""
    one, five, fifteen = os.getloadavg()
    return f"The machine: {os.cpu_count()} cores, load average {one:.2f} / {five:.2f} / {fifteen:.2f} at the end."


# --- what Linux sees of a process ----------------------------------------------

def cpu_ms(pid, thread=None):
    """utime + stime of the whole process (every thread, ended ones too), or
    of one of its threads."""
    with open(f"/proc/{pid}/task/{thread}/stat" if thread else f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000.0 / HZ


def private_resident_kib(pid):
    total = 0
    with open(f"/proc/{pid}/smaps_rollup") as rollup:
        for line in rollup:
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1])
    return total


def probe(*names):
    """exe name -> (committed private bytes, handles) as Windows sees them."""
    found = {}
    for line in wine(PROBE_EXE, *names, check=False).stdout.splitlines():
        fields = dict(word.split("=", 1) for word in line.split()[1:])
        if line.startswith("process "):
            found[fields["name"]] = (int(fields["private"]), int(fields["handles"]))
    return found


# --- watching labels -------------------------------------------------------------

class Yardstick(Stamped):
    """MinimalWindow.exe, with the time of each of its ticks."""

    def __init__(self, cwd):
        self.ticks = []
        super().__init__(MINIMAL_EXE, cwd=cwd)

    def take(self, at_ms, words):
        if words[0] == "tick":
            self.ticks.append(at_ms)


class Watch(Stamped):
    """WindowWatch.exe on one window: every change of the watched children's
    texts as (CLOCK_MONOTONIC ms, id, text)."""

    def __init__(self, caption, *ids):
        self.changes = []
        self.found_ms = None
        super().__init__(WATCH_EXE, caption, *map(str, ids))

    def take(self, at_ms, words):
        if words[0] == "found":
            self.found_ms = at_ms
        elif words[0] == "text":
            self.changes.append((at_ms, int(words[2]), words[3] if len(words) > 3 else ""))

    def first(self, ident, text):
        return next((t for t, i, x in list(self.changes) if i == ident and x == text), None)


# --- the rotor's log ---------------------------------------------------------

class Placer(threading.Thread):
    """Puts the rotor elsewhere after each STATE reply has gone out."""

    def __init__(self, sim):
        super().__init__(daemon=True)
        self.sim = sim
        self.running = True

    def run(self):
        seen = 0
        while self.running:
            replies = [t for t, kind, _ in self.sim.frames("tx") if kind == "STATE"]
            for _ in replies[seen:]:
                self.sim.command(f"position {PLACES[seen % 2]}")
                seen += 1
            time.sleep(0.05)


class ThreadCount(threading.Thread):
    """Counts the threads a process starts: its task list read every 10 ms
    (a thread that lives shorter than that can be missed)."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid, self.seen, self.counting, self.running, self.started = pid, set(), False, True, 0

    def run(self):
        while self.running:
            try:
                tids = set(os.listdir(f"/proc/{self.pid}/task"))
            except OSError:
                return
            if self.counting:
                self.started += len(tids - self.seen)
            self.seen |= tids
            time.sleep(0.01)


def log_events(sim):
    """(ms, direction, kind) of every frame and reply, in order."""
    events = []
    with open(sim.log_path) as log:
        for line in log:
            words = line.split()
            if len(words) >= 3 and words[1] in ("rx", "tx"):
                events.append((float(words[0]), words[1], words[2]))
            elif len(words) >= 4 and words[1] == "target":
                events.append((float(words[0]), "target", (float(words[2]), float(words[3]))))
    return events


# --- figures -------------------------------------------------------------------

def summary(values, unit="ms"):
    if not values:
        return "none"
    ordered = sorted(values)
    p90 = ordered[min(len(ordered) - 1, int(0.9 * len(ordered)))]
    return (f"median {statistics.median(ordered):.1f} {unit}, 90 % {p90:.1f} {unit}, "
            f"min {ordered[0]:.1f} {unit}, max {ordered[-1]:.1f} {unit} (n={len(ordered)})")


def ratio(value, yardstick):
    return f"{value / yardstick:.2f} x" if yardstick > 0 else "n/a (yardstick 0)"


def exchange_overheads(events, watch, start_ms, end_ms, byte_ms=BYTE_MS):
    """For each STATE exchange in [start, end): the time from the reply's last
    byte leaving the simulator (byte_ms a byte) to the first change of s_az or s_el."""
    labels = [(t, i) for t, i, _ in watch.changes if i in (IDS["s_az"], IDS["s_el"])]
    states = [t for t, d, k in events if d == "rx" and k == "STATE" and start_ms <= t < end_ms]
    replies = [t for t, d, k in events if d == "tx" and k == "STATE"]
    overheads, missed = [], 0
    for index, state in enumerate(states):
        reply = next((t for t in replies if t >= state), None)
        following = states[index + 1] if index + 1 < len(states) else end_ms
        if reply is None or reply >= following:
            missed += 1
            continue
        last_byte = reply + (REPLY_BYTES - 1) * byte_ms
        shown = next((t for t, _ in labels if t >= reply and t < following), None)
        if shown is None:
            missed += 1
        else:
            overheads.append(shown - last_byte)
    return overheads, missed, len(states)


def state_periods(events, start_ms, end_ms):
    states = [t for t, d, k in events if d == "rx" and k == "STATE" and start_ms <= t < end_ms]
    return [b - a for a, b in zip(states, states[1:])]


def set_latencies(events, watch, start_ms, end_ms):
    """For each SET frame in [start, end): the time since the program showed
    the tracking line whose target it carries (l_az and l_el within the
    frame's whole degrees), and how many SET frames carried none of them."""
    lines, azimuth, elevation = [], None, None
    for at, ident, text in sorted(watch.changes):
        if ident == IDS["l_az"]:
            azimuth = number(text)
        elif ident == IDS["l_el"]:
            elevation = number(text)
        else:
            continue
        if azimuth is not None and elevation is not None:
            lines.append((at, azimuth, max(0.0, elevation)))
    latencies, unmatched = [], 0
    for index, (set_ms, direction, kind) in enumerate(events):
        if direction != "rx" or kind != "SET" or not start_ms <= set_ms < end_ms:
            continue
        target = next((k for _, d, k in events[index + 1:index + 2] if d == "target"), None)
        carried = [at for at, az, el in lines if at < set_ms and target and
                   abs(az - target[0]) <= 1 and abs(el - target[1]) <= 1]
        if not carried:
            unmatched += 1
        elif carried[-1] >= start_ms:  # a line shown before the cycle began is no change
            latencies.append(set_ms - carried[-1])
    return latencies, unmatched


def number(text):
    try:
        return float(text)
    except ValueError:
        return None


def set_offsets(events, start_ms, end_ms):
    frames = [(t, k) for t, d, k in events if d == "rx" and k in ("STATE", "SET") and start_ms <= t < end_ms]
    return [b - a for (a, ka), (b, kb) in zip(frames, frames[1:]) if ka == "STATE" and kb == "SET"]


# --- the run -----------------------------------------------------------------

class Run:
    """One run's processes and the times and samples taken."""

    def __init__(self, fast_s, slow_s):
        self.fast_s, self.slow_s = fast_s, slow_s
        # The labels are watched for the first part of the fast sequence
        # only: the watcher's reads load the wineserver, so the CPU figures
        # are taken after it has ended.
        self.watch_s = min(90.0, fast_s / 3)
        self.cpu, self.memory = {}, {}
        self.pids = {}

    def cpu_sample(self, name):
        sample = {who: cpu_ms(pid) for who, pid in self.pids.items() if pid}
        if self.pids["Gyrotalk"]:
            sample["Gyrotalk main thread"] = cpu_ms(self.pids["Gyrotalk"], self.pids["Gyrotalk"])
        self.cpu[name] = (now_ms(), sample)

    def memory_sample(self, name):
        windows = probe("Gyrotalk.exe", "MinimalWindow.exe")
        self.memory[name] = (now_ms(), {
            "Gyrotalk": (windows.get("Gyrotalk.exe"), private_resident_kib(self.pids["Gyrotalk"])),
            "yardstick": (windows.get("MinimalWindow.exe"), private_resident_kib(self.pids["yardstick"]))})


def prepare(name):
    """A fresh directory NAME in the prefix with its own copy of the exe, PORT
    as the machine's one port, and settings for the fast sequence on it.
    Returns the directory and the exe's path."""
    workdir = os.path.join(WINEPREFIX, "drive_c", name)
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    exe = os.path.join(workdir, "Gyrotalk.exe")
    shutil.copy(GYROTALK_EXE, exe)
    reg_delete_key(r"HKCU\Software\Treml")
    reg_add(SERIALCOMM_KEY, r"\Device\Bench" + PORT, PORT)
    reg_add(SETTINGS_KEY, "ComPort", PORT)
    reg_add(SETTINGS_KEY, "ComSeq", SEQ_FAST)
    return workdir, exe


def main(fast_s, slow_s):
    run = Run(fast_s, slow_s)
    workdir, exe = prepare("bench")
    run.pids["wineserver"] = wineserver_pid()
    window = Window()
    processes, watches = [], []
    sim = RotorSim(workdir, PORT, "--pace")
    placer = Placer(sim)
    # A new tracking line every 2300 ms: longer than the fast cycle, so that
    # every change gets its own SET, and out of step with it.
    tracking = Zenitrak("--interval", str(LINE_MS))
    try:
        wait_for("the tracking simulator", tracking_running, 60, step=0.5)

        run.minimal_start = now_ms()
        run.yardstick = Yardstick(workdir)
        minimal = run.yardstick.process
        processes.append(minimal)
        run.minimal_watch = Watch(MINIMAL_CAPTION, MINIMAL_LABEL)
        watches.append(run.minimal_watch)
        wait_for("the yardstick's first tick", lambda: run.yardstick.ticks, 60, step=0.01)
        run.minimal_watch.stop()

        run.program_start = now_ms()
        program = subprocess.Popen([WINE_RUN, exe], cwd=workdir, env=dict(os.environ, LD_PRELOAD=MODEMSHIM),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(program)
        # The rotor's azimuth changes with every reply (see Placer); the
        # tracking line is looked at less often, its changes are a second apart.
        run.watch = Watch(CAPTION, IDS["s_az"], f"{IDS['l_az']}:2", f"{IDS['l_el']}:2")
        watches.append(run.watch)
        run.first_state = wait_for("the first STATE", lambda: next(
            (t for t, d, k in log_events(sim) if d == "rx" and k == "STATE"), None), 60, step=0.01)
        placer.start()
        run.pids.update(Gyrotalk=program.pid, yardstick=minimal.pid)
        run.threads = ThreadCount(program.pid)
        run.threads.start()

        def sleep_until(ms):
            while now_ms() < ms:
                if program.poll() is not None:
                    raise Failure(f"Gyrotalk ended early ({program.returncode})")
                time.sleep(min(1.0, max(0.0, (ms - now_ms()) / 1000.0)))

        run.fast_end = run.program_start + fast_s * 1000
        run.watch_end = run.first_state + run.watch_s * 1000
        steps = [(run.program_start + 60000, lambda: run.memory_sample("1 min")),
                 (run.watch_end, run.watch.stop),
                 (run.watch_end + 5000, lambda: (run.cpu_sample("from"), setattr(run.threads, "counting", True))),
                 (run.fast_end, lambda: (run.cpu_sample("fast end"), setattr(run.threads, "counting", False))),
                 (run.fast_end, lambda: run.memory_sample("end"))]
        if run.watch_end + 65000 < run.fast_end:
            steps.append((run.watch_end + 65000, lambda: run.cpu_sample("minute")))
        for at, step in sorted(steps, key=lambda s: s[0]):
            sleep_until(at)
            step()

        run.switch = now_ms()
        window.pick("cs", SEQ_SLOW)
        run.slow_end = run.switch + slow_s * 1000
        sleep_until(run.slow_end)
        placer.running = False
        run.close_asked = now_ms()
        window.drive("close", "--timeout", "30000", check=False, timeout=90)
        run.closed = wait_ended(program, 30) and now_ms()
        # The same surroundings without Gyrotalk, for the wineserver's share.
        run.pids["Gyrotalk"] = None
        time.sleep(5)
        run.cpu_sample("without from")
        time.sleep(WITHOUT_S)
        run.cpu_sample("without end")
        wine(WINDRIVER_EXE, "close", "--caption", MINIMAL_CAPTION, "--timeout", "30000", check=False, timeout=90)
        wait_ended(minimal, 30)
    finally:
        placer.running = False
        for watch in watches:
            watch.stop()
        for process in processes:
            if process.poll() is None:
                process.terminate()
                process.wait(10)
        tracking.stop()
        sim.stop()

    run.events = log_events(sim)
    report(run)


def wait_ended(process, seconds):
    try:
        process.wait(seconds)
        return True
    except subprocess.TimeoutExpired:
        return False


def tracking_running():
    try:
        return wine(ZENITRAK_EXE, "--send", "pause off", check=False, timeout=20).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def report(run):
    events, watch, minimal_watch = run.events, run.watch, run.minimal_watch

    def used(sample, who):
        return run.cpu[sample][1][who] - run.cpu["from"][1][who]

    def span_s(sample):
        return (run.cpu[sample][0] - run.cpu["from"][0]) / 1000

    print("Chain benchmark: Gyrotalk.exe under Wine, rotor simulator at 600 baud, tracking simulator's pass")
    print(f"  fast sequence for {(run.fast_end - run.program_start) / 1000:.0f} s from the program's start, "
          f"then the slow sequence for {(run.slow_end - run.switch) / 1000:.0f} s; yardstick: MinimalWindow.exe "
          f"(500 ms timer) in the same Wine at the same time")
    print()
    span = span_s("fast end")
    print(f"CPU time, user + system from /proc/PID/stat, over {span:.0f} s of the fast sequence "
          f"(from {(run.cpu['from'][0] - run.program_start) / 1000:.0f} s after the start, when the label watcher has "
          "ended):")
    program_ms, minimal_ms = used("fast end", "Gyrotalk"), used("fast end", "yardstick")
    print(f"  Gyrotalk   {program_ms:8.0f} ms = {100 * program_ms / 1000 / span:.3f} % of one core")
    main_ms = used("fast end", "Gyrotalk main thread")
    print(f"    of it the main thread {main_ms:.0f} ms = {100 * main_ms / 1000 / span:.3f} %; the rest is the "
          "process's other threads (the port's event thread and Wine's own)")
    print(f"  yardstick  {minimal_ms:8.0f} ms = {100 * minimal_ms / 1000 / span:.3f} % of one core")
    print(f"  ratio      {ratio(program_ms, minimal_ms)}   (goal: within 1.5 x)")
    if "wineserver" in run.cpu["fast end"][1]:
        server_ms = used("fast end", "wineserver")
        print(f"  wineserver {server_ms:8.0f} ms = {100 * server_ms / 1000 / span:.3f} % of one core, serving every "
              "program of the prefix (Gyrotalk, yardstick, tracking simulator)")
        if "without end" in run.cpu:
            (t0, before), (t1, after) = run.cpu["without from"], run.cpu["without end"]
            alone_ms, alone_s = after["wineserver"] - before["wineserver"], (t1 - t0) / 1000
            print(f"  wineserver without Gyrotalk (the rest running on, {alone_s:.0f} s after it closed): "
                  f"{100 * alone_ms / 1000 / alone_s:.3f} % of one core; with it "
                  f"{ratio(server_ms / span, alone_ms / alone_s)}")
    print(f"  threads Gyrotalk started over those {span:.0f} s: {run.threads.started} = "
          f"{60 * run.threads.started / span:.1f} a minute (its task list read every 10 ms)")
    if "minute" in run.cpu:
        minute_ms = used("minute", "Gyrotalk")
        print(f"  60 s of tracking with replies arriving: Gyrotalk {minute_ms:.0f} ms = "
              f"{100 * minute_ms / 1000 / span_s('minute'):.3f} % of one core (goal < 1 %), main thread "
              f"{used('minute', 'Gyrotalk main thread'):.0f} ms, yardstick "
              f"{used('minute', 'yardstick'):.0f} ms")
    print()
    print("Memory and handles (Windows: committed private bytes from VirtualQueryEx, handles in the "
          "system handle table; Linux: Private_Clean + Private_Dirty of /proc/PID/smaps_rollup):")
    for who in ("Gyrotalk", "yardstick"):
        for sample in ("1 min", "end"):
            at, values = run.memory[sample]
            windows, linux = values[who]
            print(f"  {who:9} at {(at - run.program_start) / 60000:4.1f} min: private "
                  f"{windows[0] // 1024 if windows else '?'} KiB, handles {windows[1] if windows else '?'}, "
                  f"resident private {linux} KiB")
    p1, p2 = run.memory["1 min"][1]["Gyrotalk"][0], run.memory["end"][1]["Gyrotalk"][0]
    y1, y2 = run.memory["1 min"][1]["yardstick"][0], run.memory["end"][1]["yardstick"][0]
    if p1 and p2 and y1 and y2:
        print(f"  growth: Gyrotalk {(p2[0] - p1[0]) // 1024:+d} KiB, {p2[1] - p1[1]:+d} handles; "
              f"yardstick {(y2[0] - y1[0]) // 1024:+d} KiB, {y2[1] - y1[1]:+d} handles (goal: no growth)")
        print(f"  against the yardstick at the end: private {ratio(p2[0], y2[0])}, handles {ratio(p2[1], y2[1])}")
    print()
    overheads, missed, count = exchange_overheads(events, watch, run.first_state, run.watch_end)
    print("Exchange overhead: from the reply's last byte leaving the simulator to the decoded azimuth shown in s_az")
    print(f"  (seen by WindowWatch, read every 1 ms). The simulator answers a STATE frame {FRAME_BYTES} byte times "
          f"after it arrived and sends the reply byte by byte, {BYTE_MS:.2f} ms apart, so this is the time from the")
    print(f"  STATE frame's first byte to the decoded value minus {(FRAME_BYTES + REPLY_BYTES - 1) * BYTE_MS:.0f} ms "
          f"of line time (the full {FRAME_BYTES + REPLY_BYTES} bytes take "
          f"{(FRAME_BYTES + REPLY_BYTES) * BYTE_MS:.0f} ms; the last byte's own 16.7 ms is not counted):")
    print(f"  {summary(overheads)}; {missed} of {count} exchanges without a seen change   (goal: median < 10 ms)")
    print()
    print("Cycle: period of STATE frames (the simulator's log); the yardstick's timer from its own tick lines")
    fast = [p - 1500 for p in state_periods(events, run.first_state, run.fast_end)]
    slow = [p - 3000 for p in state_periods(events, run.switch + 4000, run.slow_end)]
    ticks = [t for t in run.yardstick.ticks if run.first_state <= t < run.slow_end]
    yard = [b - a - 500 for a, b in zip(ticks, ticks[1:])]
    for label, devs in (("1500 ms", fast), ("3000 ms", slow), ("500 ms, the yardstick's timer", yard)):
        if devs:
            worst = max(devs, key=abs)
            print(f"  against {label}: median deviation {statistics.median(devs):+.1f} ms, worst {worst:+.1f} ms "
                  f"(n={len(devs)})")
    print()
    yard_first = run.yardstick.ticks[0]
    print("Start-up, from starting the Wine process (both with a running wineserver):")
    print(f"  Gyrotalk:  window {fmt_ms(watch.found_ms, run.program_start)}, first STATE frame "
          f"{run.first_state - run.program_start:.0f} ms (500 ms of it is the first cycle tick after the port opened)")
    print(f"  yardstick: window {fmt_ms(minimal_watch.found_ms, run.minimal_start)}, first 500 ms tick "
          f"{yard_first - run.minimal_start:.0f} ms")
    print(f"  ratio {ratio(run.first_state - run.program_start, yard_first - run.minimal_start)}")
    print()
    latencies, unmatched = set_latencies(events, watch, run.first_state, run.watch_end)
    print("Tracking line shown (l_az/l_el changed) to the SET frame on the wire, fast sequence (1500 ms cycle, "
          f"a new line every {LINE_MS} ms, so at a random point of the cycle):")
    if latencies:
        print(f"  {summary(latencies)}; median {statistics.median(latencies) / 1500:.2f} of the cycle, max "
              f"{max(latencies) / 1500:.2f}; {unmatched} SET frames matched no line shown")
    offsets = set_offsets(events, run.first_state, run.fast_end)
    print(f"  SET frame after its cycle's STATE frame (the SET step is the tick 500 ms after the STATE step): "
          f"{summary(offsets)}")
    print()
    closed = f"{(run.closed - run.close_asked) / 1000:.1f} s" if run.closed else "not within 60 s (then ended by the benchmark)"
    print(f"Closing the window (WM_CLOSE) to the process's end: {closed}")
    print(f"Gyrotalk.exe: {os.path.getsize(GYROTALK_EXE)} bytes ({GYROTALK_EXE})")
    print()
    print(machine())


def fmt_ms(at, start):
    return f"{at - start:.0f} ms" if at else "?"


if __name__ == "__main__":
    main(float(sys.argv[1]), float(sys.argv[2]))
