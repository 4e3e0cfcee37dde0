"""The soak's fault schedule, for a station left alone ("Unattended" on):
every FAULT_EVERY_S one fault in turn, each mended by the program without a
click:
- the line goes for OUTAGE_S (the rotor simulator's terminal closes) and
  comes back on a new terminal;
- the tracking program is killed and started again;
- the controller is silent for OUTAGE_S.
For each it notes when the fault came, when the device or program was back,
and when tracking resumed: the first SET on the new line, the window's
"Opened" for the tracking program, the first reply after the silence."""
import os
import time

from chain import log_events, now_ms
from rig import WINDRIVER_EXE, RotorSim, Window, Zenitrak, wine

FAULT_EVERY_S = 180
OUTAGE_S = 20
RESUME_LIMIT_S = 60
KINDS = ("line gone", "tracking program killed", "controller silent")


class Faults:
    def __init__(self, workdir, sim, tracking, tracking_options):
        self.workdir = workdir
        self.sims = [sim]
        self.tracking = tracking
        self.tracking_options = tracking_options
        self.window = Window()
        self.results = []  # (kind, injected ms, back ms, resumed ms or None)
        self.windows = []  # (start ms, end ms) of each fault, to its resumption

    @property
    def sim(self):
        return self.sims[-1]

    def events(self):
        return sorted(event for sim in self.sims for event in log_events(sim))

    def inject(self):
        kind = KINDS[len(self.results) % len(KINDS)]
        injected = now_ms()
        back = {"line gone": self.line_gone, "tracking program killed": self.tracking_killed,
                "controller silent": self.controller_silent}[kind]()
        resumed = self.wait_resumed(kind, back)
        self.results.append((kind, injected, back, resumed))
        self.windows.append((injected, (resumed or back + RESUME_LIMIT_S * 1000) + 3000))
        after = f"resumed after {(resumed - back) / 1000:.1f} s" if resumed else "NOT resumed"
        print(f"  fault {len(self.results)}: {kind}, back after {(back - injected) / 1000:.0f} s, {after}",
              flush=True)

    def line_gone(self):
        self.sim.stop()
        time.sleep(OUTAGE_S)
        folder = os.path.join(self.workdir, f"line{len(self.sims)}")
        os.makedirs(folder, exist_ok=True)
        self.sims.append(RotorSim(folder, self.sim.port, "--pace"))
        return now_ms()

    def tracking_killed(self):
        self.tracking.kill()
        self.tracking = Zenitrak(*self.tracking_options)
        return now_ms()

    def controller_silent(self):
        self.sim.command("fault silent")
        time.sleep(OUTAGE_S)
        self.sim.command("fault none")
        return now_ms()

    def wait_resumed(self, kind, back):
        end = back + RESUME_LIMIT_S * 1000
        while now_ms() < end:
            if kind == "tracking program killed":
                if self.window.text("l_dd") == "Opened":
                    return now_ms()
            else:
                wanted = ("target", None) if kind == "line gone" else ("tx", "STATE")
                for at, direction, what in log_events(self.sim):
                    if at > back and direction == wanted[0] and (wanted[1] is None or what == wanted[1]):
                        return at
            time.sleep(0.2)
        return None

    def outside(self, first, last):
        """Whether the stretch from first to last (ms) meets no fault."""
        return not any(start <= last and first <= end for start, end in self.windows)


def dialogs_now():
    """The error dialogs open now (their caption is the program's title)."""
    return [line for line in wine(WINDRIVER_EXE, "windows", "--caption", "Gyrotalk").stdout.splitlines()
            if line.startswith("window ")]
