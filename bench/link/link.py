"""The line's cost, measured as the chain benchmark measures the exchange
(bench/chain/chain.py, whose measures this reuses), in one run of
alternating phases: the rotor simulator on the COM port at 600 baud, behind
TCP on 127.0.0.1 (its line paced at 600 baud, as a serial server passes a
600-baud line on), and on the COM port at 9600 baud. The medium changes
through "Rotor on the network...", the speed through "Line speed", as a
user changes them.

    python3 link.py PHASE_SECONDS ROUNDS

Per phase: the exchange overhead (the reply's last byte leaving the
simulator to the decoded azimuth shown), the exchange (the STATE frame read
by the simulator to the azimuth shown: what the cycle waits) and the STATE
period's deviation from the 1500 ms cycle.
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "chain"))
from chain import (FRAME_BYTES, MODEMSHIM, PORT, REPLY_BYTES, Failure, Placer, RotorSim, Watch,  # noqa: E402
                   exchange_overheads, log_events, machine, now_ms, prepare, state_periods, wait_for)
from rig import CAPTION, IDS, WINE_RUN, TcpRotorSim, Window, answer_dialog, free_tcp_port  # noqa: E402

CYCLE_MS = 1500  # the fast sequence


def p90(values):
    """The 90 % figure as the chain benchmark takes it."""
    return sorted(values)[min(len(values) - 1, int(0.9 * len(values)))]
ROTOR_ADDRESS_ID, BAUD_600_ID, BAUD_9600_ID = 0x320, 0x400, 0x440
DIALOG = "Rotor on the network"
SETTLE_S = 3


def exchange_times(events, watch, start_ms, end_ms):
    """For each STATE frame in [start, end): from its reading by the simulator
    to the first change of s_az or s_el after its reply."""
    labels = [t for t, i, _ in watch.changes if i in (IDS["s_az"], IDS["s_el"])]
    states = [t for t, d, k in events if d == "rx" and k == "STATE" and start_ms <= t < end_ms]
    times = []
    for index, state in enumerate(states):
        following = states[index + 1] if index + 1 < len(states) else end_ms
        shown = next((t for t in labels if state <= t < following), None)
        if shown is not None:
            times.append(shown - state)
    return times


def figures(label, periods, overheads, missed, count, times):
    deviations = [p - CYCLE_MS for p in periods]
    print(f"  {label:28} exchange overhead median {statistics.median(overheads):.1f} ms, 90 % "
          f"{p90(overheads):.1f} ms (n={len(overheads)}, {missed} of {count} without a seen change); "
          f"exchange median {statistics.median(times):.1f} ms, 90 % {p90(times):.1f} ms; "
          f"STATE period median deviation {statistics.median(deviations):+.1f} ms, worst "
          f"{max(deviations, key=abs):+.1f} ms")


def main(phase_s, rounds):
    workdir, exe = prepare("bench-link")
    tcp_port = free_tcp_port()
    com = RotorSim(workdir, PORT, "--pace")
    tcp = TcpRotorSim(workdir, tcp_port, "--pace")
    placers = [Placer(com), Placer(tcp)]
    program = subprocess.Popen([WINE_RUN, exe], cwd=workdir, env=dict(os.environ, LD_PRELOAD=MODEMSHIM),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    window = Window()
    watch = Watch(CAPTION, IDS["s_az"], IDS["s_el"])
    phases = []  # (label, sim, byte ms, start, end)

    def phase(label, sim, baud):
        start = now_ms() + SETTLE_S * 1000
        time.sleep(SETTLE_S + phase_s)
        if program.poll() is not None:
            raise Failure(f"Gyrotalk ended early ({program.returncode})")
        phases.append((label, sim, 10 * 1000 / baud, start, now_ms()))

    try:
        wait_for("the first STATE", lambda: next(
            (t for t, d, k in log_events(com) if d == "rx" and k == "STATE"), None), 60, step=0.01)
        for placer in placers:
            placer.start()
        for _ in range(rounds):
            phase("COM port, 600 baud", com, 600)
            answer_dialog(ROTOR_ADDRESS_ID, DIALOG, f"127.0.0.1:{tcp_port}")
            phase("TCP, 600-baud line", tcp, 600)
            window.drive("syscommand", "--id", str(BAUD_9600_ID))  # stored for the COM port
            com.command("baud 9600")
            answer_dialog(ROTOR_ADDRESS_ID, DIALOG, "")
            phase("COM port, 9600 baud", com, 9600)
            window.drive("syscommand", "--id", str(BAUD_600_ID))
            com.command("baud 600")
    finally:
        for placer in placers:
            placer.running = False
        watch.stop()
        if program.poll() is None:
            program.terminate()
            program.wait(10)
        com.stop()
        tcp.stop()

    print(f"Line benchmark: Gyrotalk.exe under Wine, the rotor simulator paced at the line's speed, fast sequence "
          f"({CYCLE_MS} ms cycle); {rounds} rounds of {phase_s:.0f} s per medium, alternating, in one run")
    print(f"  exchange overhead: the reply's last byte leaving the simulator to the decoded azimuth in s_az "
          f"(the {FRAME_BYTES + REPLY_BYTES - 1} byte times on the line not counted); exchange: the STATE frame "
          f"read by the simulator to the azimuth shown")
    for label in dict.fromkeys(p[0] for p in phases):
        periods, overheads, missed, count, times = [], [], 0, 0, []
        for name, sim, byte_ms, start, end in phases:
            if name != label:
                continue
            events = log_events(sim)
            periods += state_periods(events, start, end)
            o, m, c = exchange_overheads(events, watch, start, end, byte_ms)
            overheads, missed, count = overheads + o, missed + m, count + c
            times += exchange_times(events, watch, start, end)
        figures(label, periods, overheads, missed, count, times)
    print(machine())


if __name__ == "__main__":
    main(float(sys.argv[1]), int(sys.argv[2]))
