"""The tracking program shared with other DDE clients, as a station runs a
radio-control program beside the rotor's: python3 shared_tracking.py SCENARIO.

The other clients are plain warm-link clients (ddepeer --follow: a request
after each change notice). Their refused requests are measured first with as
many of them alone as there are clients with Gyrotalk, before and after it,
as the level that the DDE library under Wine gives (its server hands its
notices one reference of the item's name between all its clients; how often
a neighbour loses it swings with the machine's load); Gyrotalk in the place
of one of them must not raise it beyond chance, and must itself show nearly
every line and follow it with a SET."""
import math
import os
import time

from rig import (CAPTION, DDEPEER_EXE, IDS, SETTINGS_KEY, WINDRIVER_EXE, ZENITRAK_EXE, Failure, Rig, Stamped,
                 TracedZenitrak, parse_fields, reg_add, run_scenario, wait_for, wine)

SEQ_FAST = "G-500, S-1000"
INTERVAL_MS = 600
PHASE_MS = 18000      # with Gyrotalk
BASE_MS = 12000       # the plain clients alone
MIN_SHOWN = 0.9       # of the lines published: 27 of 30
MIN_SET_CYCLES = 0.9  # of the cycles
# The plain clients' share of refused requests beside Gyrotalk may exceed
# that of as many plain clients alone by this much, or by 2.5 standard
# errors of the difference when the counts make that more (a few dozen
# requests, refused half the time under load).
REFUSED_ALLOWANCE = 0.1


def expect(condition, message):
    if not condition:
        raise Failure(message)


class Recorded(Stamped):
    """A Windows program's stamped output: (ms, word, rest of the line)."""

    def __init__(self, *command):
        self.records = []
        super().__init__(*command)

    def take(self, at_ms, words):
        self.records.append((at_ms, words[0], " ".join(words[2:])))

    def first(self, word, limit=30.0):
        return wait_for(f"{word!r} from {self.process.args[1]}",
                        lambda: next((ms for ms, w, _ in self.records if w == word), None), limit)

    def during(self, phase, *words):
        return [rest for ms, w, rest in self.records if w in words and phase[0] <= ms < phase[1]]


def peer(seconds):
    return Recorded(DDEPEER_EXE, "--service", "Zenitrak", "--topic", "Tracking", "--timeout", "1000",
                    "--follow", str(seconds))


def refused(peers, phase):
    """(refused, requests) of the plain clients' requests during the phase."""
    done = [w for p in peers for w in p.during(phase, "taken", "refused")]
    lost = [w for p in peers for w in p.during(phase, "refused")]
    return len(lost), len(done)


def now_ms():
    return time.clock_gettime(time.CLOCK_MONOTONIC) * 1000


def wait_until(what, ms):
    wait_for(what, lambda: now_ms() >= ms, (ms - now_ms()) / 1000 + 5, 0.2)


def target(text):
    """(azimuth, elevation) of a line, as its AZ and EL fields read."""
    fields = dict((w[:2], w[2:]) for w in text.split() if w[:2] in ("AZ", "EL"))
    return float(fields.get("AZ", "nan")), float(fields.get("EL", "nan"))


def share(counts):
    return counts[0] / counts[1] if counts[1] else 0.0


def raised(beside, alone):
    """Whether the share refused beside Gyrotalk lies above that of plain
    clients alone by more than chance explains."""
    pooled = share((beside[0] + alone[0], beside[1] + alone[1]))
    error = math.sqrt(pooled * (1 - pooled) * (1 / max(1, beside[1]) + 1 / max(1, alone[1])))
    return share(beside) > share(alone) + max(REFUSED_ALLOWANCE, 2.5 * error)


def plain_clients_alone(lasting, helpers):
    """The refused requests of three plain clients alone for BASE_MS, then of
    two ({3: (refused, requests), 2: ...}); lasting is one of them, two more
    join and end by themselves: a client that is ended at once would end the
    simulator's notices to the others."""
    short, longer = peer(BASE_MS // 1000 + 2), peer(2 * BASE_MS // 1000 + 6)
    helpers += [short, longer]
    start = max(p.first("following") for p in (lasting, short, longer))
    wait_for("a plain client's end", lambda: short.process.poll() is not None, BASE_MS / 1000 + 30)
    alone = {3: refused([lasting, short, longer], (start, start + BASE_MS))}
    start = now_ms() + 300  # its goodbye on the way
    wait_for("a plain client's end", lambda: longer.process.poll() is not None, BASE_MS / 1000 + 30)
    alone[2] = refused([lasting, longer], (start, start + BASE_MS))
    return alone


def judge(what, tracking, watch, sim, phase, peers, before, after):
    """What went wrong in the phase (nothing: an empty list); prints the figures."""
    published = [(az, el) for ms, az, el in tracking.lines if phase[0] <= ms < phase[1]]
    seen = [(ms, target(parse_fields(rest)["text"])) for ms, w, rest in watch.records if w == "seen"]
    shown = [line for line in published if line in {text for _, text in seen}]
    times = [phase[0]] + [ms for ms, _ in seen if phase[0] < ms < phase[1]] + [phase[1]]
    still = max(b - a for a, b in zip(times, times[1:])) / 1000
    states = [s * 1000 for s, kind, _ in sim.frames() if kind == "STATE" and phase[0] <= s * 1000 < phase[1]]
    sets = [s * 1000 for s, kind, _ in sim.frames() if kind == "SET"]
    cycles = list(zip(states, states[1:]))
    with_set = [c for c in cycles if any(c[0] < s < c[1] for s in sets)]
    lost = refused(peers, phase)
    base = max(before, after, key=share)
    figures = (f"{what}: Gyrotalk showed {len(shown)} of {len(published)} lines, a SET in {len(with_set)} of "
               f"{len(cycles)} cycles, its line stood still for {still:.1f} s at the most; "
               f"the plain clients' requests refused {lost[0]} of {lost[1]} "
               f"(as many plain clients alone: {before[0]} of {before[1]} before, {after[0]} of {after[1]} after)")
    print(figures)
    wrong = not published or len(shown) < MIN_SHOWN * len(published) or \
        not cycles or len(with_set) < MIN_SET_CYCLES * len(cycles) or \
        not lost[1] or raised(lost, base)
    return [figures] if wrong else []


def plain_clients_beside():
    """Three plain clients alone, then two; then Gyrotalk beside one of them,
    then beside two; then the plain clients alone again: 12 s of lines 0.6 s
    apart for each level alone, 18 s with Gyrotalk."""
    with Rig("plain_clients_beside") as rig:
        reg_add(SETTINGS_KEY, "ComSeq", SEQ_FAST)
        script = os.path.join(rig.workdir, "lines.txt")
        with open(script, "w") as out:
            out.writelines(f'SN"SHARED" AZ{100 + i * 0.5:.1f} EL{20 + i * 0.25:.2f}\n' for i in range(400))
        sim = rig.rotor()
        tracking = TracedZenitrak("--script", "Z:" + script.replace("/", "\\"), "--interval", str(INTERVAL_MS))
        rig.tracking = tracking
        third = peer(300)
        helpers = [third]
        try:
            before = plain_clients_alone(third, helpers)

            window = rig.start()
            window.wait_text("s_ac", "Opened")
            window.wait_text("l_dd", "Opened")
            watch = Recorded(WINDRIVER_EXE, "watch", "--caption", CAPTION, "--id", str(IDS["l_st"]),
                             "--timeout", str(3 * PHASE_MS))
            helpers.append(watch)
            start = watch.first("seen")
            two = (start, start + PHASE_MS)
            wait_until("the end of two clients", two[1])

            fourth = peer(PHASE_MS // 1000 + 2)
            helpers.append(fourth)
            start = fourth.first("following")
            three = (start, start + PHASE_MS)
            wait_for("the fourth client's end", lambda: fourth.process.poll() is not None, PHASE_MS / 1000 + 30)

            window.close()
            after = plain_clients_alone(third, helpers)

            wrong = judge("two clients", tracking, watch, sim, two, [third], before[2], after[2]) + \
                judge("three clients", tracking, watch, sim, three, [third, fourth], before[3], after[3])
            expect(not wrong, "; ".join(wrong))
        finally:
            wine(ZENITRAK_EXE, "--send", "pause on", check=False)
            for helper in helpers:
                helper.stop()


if __name__ == "__main__":
    run_scenario([plain_clients_beside])
