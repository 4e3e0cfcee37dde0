"""Network control's cost, measured as the chain benchmark measures the
exchange (bench/chain/chain.py, whose measures this reuses): the STATE period
from the rotator simulator's log, the exchange overhead from the reply's
last byte to the decoded azimuth shown (WindowWatch), in alternating phases
without clients and with four clients polling "p" ten times a second; and
the reply time of "p" as the clients see it (send to the answer's last line).

    python3 network.py PHASE_SECONDS ROUNDS
"""
import os
import socket
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "chain"))
from chain import (BYTE_MS, FRAME_BYTES, MODEMSHIM, PORT, REPLY_BYTES, SETTINGS_KEY,  # noqa: E402
                   Failure, Placer, RotorSim, Watch, exchange_overheads, log_events, machine, now_ms, prepare,
                   reg_add, state_periods, wait_for)
from rig import CAPTION, IDS, WINE_RUN, free_tcp_port  # noqa: E402

CLIENTS = 4
POLL_S = 0.1
CYCLE_MS = 1500  # the fast sequence


class Poller(threading.Thread):
    """One client asking "p" every POLL_S seconds; the time of each answer."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port, self.running, self.replies, self.failures = port, True, [], 0

    def run(self):
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as client:
            pending, due = b"", time.monotonic()
            while self.running:
                start = time.monotonic()
                client.sendall(b"p\n")
                lines = []
                while len(lines) < 2:
                    while b"\n" not in pending:
                        pending += client.recv(4096)
                    line, pending = pending.split(b"\n", 1)
                    lines.append(line)
                    if line.startswith(b"RPRT"):
                        break
                self.replies.append((time.monotonic() - start) * 1000)
                self.failures += lines[0].startswith(b"RPRT")
                due += POLL_S
                time.sleep(max(0.0, due - time.monotonic()))


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def figures(label, periods, overheads, missed, count):
    deviations = [p - CYCLE_MS for p in periods]
    print(f"  {label:13} STATE period: median deviation {statistics.median(deviations):+.1f} ms, worst "
          f"{max(deviations, key=abs):+.1f} ms (n={len(periods)}); exchange overhead: median "
          f"{statistics.median(overheads):.1f} ms, 90 % {percentile(overheads, 0.9):.1f} ms, max "
          f"{max(overheads):.1f} ms (n={len(overheads)}, {missed} of {count} without a seen change)")


def main(phase_s, rounds):
    workdir, exe = prepare("bench-network")
    port = free_tcp_port()
    reg_add(SETTINGS_KEY, "NetworkPort", str(port))
    sim = RotorSim(workdir, PORT, "--pace")
    placer = Placer(sim)
    program = subprocess.Popen([WINE_RUN, exe], cwd=workdir, env=dict(os.environ, LD_PRELOAD=MODEMSHIM),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    watch = Watch(CAPTION, IDS["s_az"])
    phases, pollers = [], []
    try:
        first = wait_for("the first STATE", lambda: next(
            (t for t, d, k in log_events(sim) if d == "rx" and k == "STATE"), None), 60, step=0.01)
        placer.start()
        time.sleep(3)
        for _ in range(rounds):
            for clients in (0, CLIENTS):
                start = now_ms()
                group = [Poller(port) for _ in range(clients)]
                for poller in group:
                    poller.start()
                time.sleep(phase_s)
                for poller in group:
                    poller.running = False
                for poller in group:
                    poller.join(5)
                pollers += group
                phases.append((clients, start, now_ms()))
                if program.poll() is not None:
                    raise Failure(f"Gyrotalk ended early ({program.returncode})")
    finally:
        placer.running = False
        watch.stop()
        if program.poll() is None:
            program.terminate()
            program.wait(10)
        sim.stop()

    events = log_events(sim)
    print(f"Network control benchmark: Gyrotalk.exe under Wine, rotor simulator at 600 baud, fast sequence "
          f"({CYCLE_MS} ms cycle), network control on 127.0.0.1")
    print(f"  {rounds} rounds of {phase_s:.0f} s without clients and {phase_s:.0f} s with {CLIENTS} clients "
          f"polling \"p\" every {POLL_S * 1000:.0f} ms, alternating, in one run (the first phase began "
          f"{(phases[0][1] - first) / 1000:.1f} s after the first STATE)")
    print(f"  exchange overhead: from the reply's last byte leaving the simulator to the decoded azimuth in s_az "
          f"(the {FRAME_BYTES + REPLY_BYTES - 1} byte times of {BYTE_MS:.2f} ms on the line not counted)")
    for clients in (0, CLIENTS):
        periods, overheads, missed, count = [], [], 0, 0
        for who, start, end in phases:
            if who == clients:
                periods += state_periods(events, start, end)
                o, m, c = exchange_overheads(events, watch, start, end)
                overheads, missed, count = overheads + o, missed + m, count + c
        figures("no clients" if clients == 0 else f"{clients} clients", periods, overheads, missed, count)
    replies = [r for poller in pollers for r in poller.replies]
    failures = sum(poller.failures for poller in pollers)
    print(f"  reply time of \"p\" (send to the answer's last line, {len(replies)} answers, {failures} errors): "
          f"median {statistics.median(replies):.2f} ms, 99 % {percentile(replies, 0.99):.2f} ms, "
          f"max {max(replies):.2f} ms")
    print(machine())


if __name__ == "__main__":
    main(float(sys.argv[1]), int(sys.argv[2]))
