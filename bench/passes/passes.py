"""Figures and drawing of the passes flown by fly.py, one JSON per set of
choices. Per pass and choice:
- the pointing error while the satellite is up: the angle on the sky between
  where it is (its tracking lines, interpolated) and where the rotor points
  (poses over the top included), every 100 ms, the rotor's motion rebuilt
  from the simulator's log (start, each set point it took, its slew rates);
- the largest azimuth run (a stretch of turning one way) while the satellite
  is above 60 degrees;
- the SET frames the rotor received (each one a motor start);
- the time spent unwinding: on runs of more than 200 degrees while it is up,
  which no target that moved a few degrees needs;
- the rotor's travel (degrees turned, azimuth and elevation together) and
  the time it spent moving, while the satellite is up and between passes
  (from the last set, or for the first pass from the start, to the rise);
  beside the latter the direct move, from where the rotor stood at the set
  to where it stood at the rise, which no choice saves;
- the pointing error at the rise (where the satellite crossed the horizon,
  between the last line below it and the first above), and how long before
  it the rotor was within LATE degrees of that point: a rotor that is not
  on the satellite at the rise started the pass late.
Times are pass time (real time x the scale).

    python3 passes.py PICTURE.png RUN.json...
"""
import bisect
import json
import math
import statistics
import sys

PASS_NAMES = ["north", "overhead", "south", "end", "high85", "high88", "high89.5"]
UNWINDING_RUN = 200.0
HIGH = 60.0
SAMPLE_MS = 100.0
LATE = 2.0  # degrees off the satellite at its rise
LABELS = {"default": "default", "0-450": "0°–450°", "0-180": "0°–450°, 0°–180°",
          "ahead": "… + point-ahead", "tolerance": "… + 1° tolerance", "wait": "wait between passes",
          "frames": "frames, simulator at 6°/s", "rotctld": "rotctld, its dummy rotor",
          "rotctld-path": "rotctld, a rotor like the simulator's"}


def vector(az, el):
    a, e = math.radians(az), math.radians(el)
    return (math.cos(e) * math.sin(a), math.cos(e) * math.cos(a), math.sin(e))


def angle(u, v):
    cross = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
    return math.degrees(math.atan2(math.sqrt(sum(c * c for c in cross)), sum(a * b for a, b in zip(u, v))))


class Truth:
    """Where the satellite is, between its tracking lines."""

    def __init__(self, lines):
        self.times = [t for t, _, _ in lines]
        self.vectors = [vector(az, el) for _, az, el in lines]

    def at(self, ms):
        i = min(max(bisect.bisect_left(self.times, ms), 1), len(self.times) - 1)
        t0, t1 = self.times[i - 1], self.times[i]
        f = 0.0 if t1 == t0 else min(max((ms - t0) / (t1 - t0), 0.0), 1.0)
        v = [a + f * (b - a) for a, b in zip(self.vectors[i - 1], self.vectors[i])]
        n = math.sqrt(sum(c * c for c in v))
        return tuple(c / n for c in v)


class Rotor:
    """The simulated rotor's motion: each axis turns towards its set point at its rate."""

    def __init__(self, events, rates):
        self.rates = rates
        self.times, self.states = [], []
        position = target = None
        last = None
        for ms, what, az, el in events:
            if position is not None:
                position = self._moved(position, target, ms - last)
            if what == "start" or what == "stop":
                position = target = (az, el)
            else:
                target = (az, el)
            last = ms
            self.times.append(ms)
            self.states.append((position, target))

    def _moved(self, position, target, ms):
        return tuple(p + max(-r * ms, min(r * ms, t - p)) for p, t, r in zip(position, target, self.rates))

    def at(self, ms):
        i = max(bisect.bisect_right(self.times, ms) - 1, 0)
        position, target = self.states[i]
        return self._moved(position, target, ms - self.times[i])


def visible_stretches(lines):
    """(first, last) ms of each time the satellite is above the horizon."""
    stretches, start = [], None
    for t, _, el in lines:
        if el >= 0 and start is None:
            start = t
        elif el < 0 and start is not None:
            stretches.append((start, t))
            start = None
    return stretches


def turned(a, b):
    return abs(a[0] - b[0]) + abs(a[1] - b[1])


def settled(rotor, point, first, rise):
    """ms before rise since which the rotor has looked within LATE degrees of point (0: not at the rise)."""
    t = rise
    while t > first and angle(vector(*rotor.at(t)), point) <= LATE:
        t -= SAMPLE_MS
    return rise - t


def crossing(lines, first):
    """When the satellite rose: between the line at first, up, and the one before it, below."""
    i = bisect.bisect_left([t for t, _, _ in lines], first)
    if i == 0:
        return first
    (t0, _, e0), (t1, _, e1) = lines[i - 1], lines[i]
    return t0 + (t1 - t0) * -e0 / (e1 - e0)


def pass_spans(lines, stretches):
    """(from, to) ms of each pass's lines: the passes meet at the largest jump between two stretches."""
    bounds = [lines[0][0]]
    for (_, end), (start, _) in zip(stretches, stretches[1:]):
        between = [i for i in range(1, len(lines)) if end <= lines[i][0] <= start]
        jump = max(between, key=lambda i: angle(vector(*lines[i - 1][1:]), vector(*lines[i][1:])))
        bounds.append(lines[jump][0] - 1e-3)
    bounds.append(lines[-1][0] + 60000)
    return list(zip(bounds, bounds[1:]))


def runs(samples):
    """(start ms, end ms, degrees) of each stretch in which the azimuth turns one way."""
    found, start, direction = [], 0, 0
    for i in range(1, len(samples)):
        step = samples[i][1] - samples[i - 1][1]
        way = (step > 0.05) - (step < -0.05)
        if way and direction and way != direction:
            found.append((samples[start][0], samples[i - 1][0], abs(samples[i - 1][1] - samples[start][1])))
            start = i - 1
        if way:
            direction = way
    if samples:
        found.append((samples[start][0], samples[-1][0], abs(samples[-1][1] - samples[start][1])))
    return found


def motion(rotor, first, last):
    """Degrees the rotor turned (azimuth and elevation together) and ms it spent moving, from first to last."""
    travel = moving = 0.0
    t, before = first, rotor.at(first)
    while t < last:
        step = min(SAMPLE_MS, last - t)
        now = rotor.at(t + step)
        turned = abs(now[0] - before[0]) + abs(now[1] - before[1])
        travel += turned
        moving += step if turned > 1e-6 else 0
        t, before = t + step, now
    return travel, moving


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def figures(run):
    lines, scale = run["lines"], run["scale"]
    truth, rotor = Truth(lines), Rotor(run["events"], run["rates"])
    stretches = visible_stretches(lines)
    sets = [ms for ms, what, _, _ in run["events"] if what == "target"]
    result = []
    previous_set = lines[0][0]
    names = run.get("passes", PASS_NAMES)
    if len(stretches) != len(names):
        sys.exit(f"{run['choice']}: the satellite was up {len(stretches)} times for {len(names)} passes")
    for name, (first, last), (begin, end) in zip(names, stretches, pass_spans(lines, stretches)):
        travel_up, moving_up = motion(rotor, first, last)
        travel_before, moving_before = motion(rotor, previous_set, first)
        rise = crossing(lines, first)
        direct = turned(rotor.at(previous_set), rotor.at(rise))
        ready = settled(rotor, truth.at(rise), previous_set, rise)
        rise_error = angle(vector(*rotor.at(rise)), truth.at(rise))
        sets_before = sum(previous_set < ms < first for ms in sets)
        previous_set = last
        samples = []
        t = first
        while t <= last:
            az, el = rotor.at(t)
            sky = truth.at(t)
            samples.append((t, az, el, angle(sky, vector(az, el)), math.degrees(math.asin(sky[2]))))
            t += SAMPLE_MS
        high = [s for s in samples if s[4] > HIGH]
        result.append({
            "pass": name, "errors": [s[3] for s in samples], "samples": samples,
            "high_run": max((d for _, _, d in runs(high)), default=0.0),
            "unwinding_s": sum(e - s for s, e, d in runs(samples) if d > UNWINDING_RUN) * scale / 1000.0,
            "sets": sum(begin <= ms < end for ms in sets), "first": first, "last": last,
            "travel_up": travel_up, "moving_up_s": moving_up * scale / 1000.0,
            "travel_before": travel_before, "moving_before_s": moving_before * scale / 1000.0, "direct": direct,
            "ready_s": ready * scale / 1000.0, "sets_before": sets_before,
            "rise_error": rise_error})
    return result


def replies_agree(run):
    """The largest difference, on either axis, between the rebuilt motion and the rotor's replies."""
    rotor = Rotor(run["events"], run["rates"])
    worst = 0.0
    for ms, az, el in run["rotor"]:
        r_az, r_el = rotor.at(ms - run["reply_lag_ms"])
        worst = max(worst, abs(r_az - az), abs(r_el - el))
    return worst


def row(name, choice, errors, high_run, sets, unwinding):
    return (f"| {name} | {LABELS.get(choice, choice)} | {statistics.median(errors):.2f}° / "
            f"{percentile(errors, 0.95):.2f}° / {max(errors):.2f}° | {high_run:.1f}° | {sets} | {unwinding:.0f} s |")


def report(runs_by_choice):
    print("| Pass | Choices | Pointing error median / 95 % / max | Azimuth run above 60° | SET frames | Unwinding |")
    print("|---|---|---|---|---|---|")
    for name in runs_by_choice[0].get("passes", PASS_NAMES):
        for run in runs_by_choice:
            f = next(p for p in run["figures"] if p["pass"] == name)
            print(row(name, run["choice"], f["errors"], f["high_run"], f["sets"], f["unwinding_s"]))
    for run in runs_by_choice:
        fs = run["figures"]
        print(row("**all passes**", run["choice"], [e for f in fs for e in f["errors"]],
                  max(f["high_run"] for f in fs), sum(f["sets"] for f in fs), sum(f["unwinding_s"] for f in fs)))
    print()
    print("| Pass | Choices | Travel from the last set (direct move) | Moving then | At the rise point since "
          "| Error at the rise | Travel while up | Moving while up |")
    print("|---|---|---|---|---|---|---|---|")
    for name in runs_by_choice[0].get("passes", PASS_NAMES):
        for run in runs_by_choice:
            f = next(p for p in run["figures"] if p["pass"] == name)
            print(f"| {name} | {LABELS.get(run['choice'], run['choice'])} | {f['travel_before']:.0f}° "
                  f"({f['direct']:.0f}°) | {f['moving_before_s']:.0f} s | {f['ready_s']:.0f} s before | "
                  f"{f['rise_error']:.2f}° | {f['travel_up']:.0f}° | {f['moving_up_s']:.0f} s |")
    print()
    # The first pass's lead-in starts with the run, not at a set: between passes are the others'.
    print("| Choices | Between passes: travel (direct moves) | Moving | SET frames | Lead-in to the first pass "
          "| While up: travel | Moving | Late (over " f"{LATE:g}° off at the rise) |")
    print("|---|---|---|---|---|---|---|---|")
    for run in runs_by_choice:
        fs, gaps = run["figures"], run["figures"][1:]
        late = [f["pass"] for f in fs if not f["rise_error"] <= LATE]
        print(f"| {LABELS.get(run['choice'], run['choice'])} | {sum(f['travel_before'] for f in gaps):.0f}° "
              f"({sum(f['direct'] for f in gaps):.0f}°) | {sum(f['moving_before_s'] for f in gaps):.0f} s | "
              f"{sum(f['sets_before'] for f in gaps)} | "
              f"{fs[0]['travel_before']:.0f}° ({fs[0]['direct']:.0f}°) | {sum(f['travel_up'] for f in fs):.0f}° | "
              f"{sum(f['moving_up_s'] for f in fs):.0f} s | {', '.join(late) or 'none'} |")
    follow = next((r for r in runs_by_choice if r["choice"] == "default"), None)
    for run in runs_by_choice:
        if follow and run is not follow and len(follow["figures"]) > 1:
            def between(r, key):
                return sum(f[key] for f in r["figures"][1:])
            travel = [between(r, "travel_before") for r in (follow, run)]
            beyond = [between(r, "travel_before") - between(r, "direct") for r in (follow, run)]
            moving = [between(r, "moving_before_s") for r in (follow, run)]
            print(f"{run['choice']} against the defaults (follow), between passes: travel {travel[1]:.0f}° against "
                  f"{travel[0]:.0f}° (cut by {100 * (1 - travel[1] / travel[0]):.1f} %); beyond the direct moves "
                  f"{beyond[1]:.0f}° against {beyond[0]:.0f}° (cut by {100 * (1 - beyond[1] / beyond[0]):.1f} %); "
                  f"moving {moving[1]:.0f} s against {moving[0]:.0f} s")
    print()
    for run in (r for r in runs_by_choice if r["rotor"]):
        print(f"{run['choice']}: rebuilt motion within {replies_agree(run):.2f}° of the rotor's "
              f"{len(run['rotor'])} replies; {sum(len(f['errors']) for f in run['figures'])} samples while up")


def draw(runs_by_choice, picture, shown=("high89.5", "overhead"), choices=("0-450", "0-180", "ahead"),
         title="Near the zenith, with and without 0°–180° of elevation"):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    shown = [name for name in shown if name in runs_by_choice[0].get("passes", PASS_NAMES)] or \
        runs_by_choice[0]["passes"][:1]
    fig, axes = plt.subplots(3, len(shown), figsize=(7 * len(shown), 9), sharex="col", squeeze=False)
    colours = {"default": "tab:purple", "0-450": "tab:red", "0-180": "tab:blue", "ahead": "tab:green",
               "tolerance": "tab:orange", "wait": "tab:brown", "frames": "tab:red", "rotctld": "tab:blue",
               "rotctld-path": "tab:green"}
    for column, name in enumerate(shown):
        az_axis, el_axis, error_axis = (axes[r][column] for r in range(3))
        for index, run in enumerate(r for r in runs_by_choice if r["choice"] in choices or len(runs_by_choice) < 3):
            f = next(p for p in run["figures"] if p["pass"] == name)
            first, scale = f["first"], run["scale"]

            def minutes(t):
                return (t - first) * scale / 60000.0
            if index == 0:
                target = [(t, a, e) for t, a, e in run["lines"] if f["first"] <= t <= f["last"]]
                az_axis.plot([minutes(t) for t, _, _ in target], [a for _, a, _ in target], ".", color="0.6",
                             markersize=2, label="satellite")
                el_axis.plot([minutes(t) for t, _, _ in target], [e for _, _, e in target], "-", color="0.6",
                             label="satellite")
            samples, colour, label = f["samples"], colours[run["choice"]], LABELS[run["choice"]]
            times = [minutes(s[0]) for s in samples]
            az_axis.plot(times, [s[1] for s in samples], "-", color=colour, label=f"rotor, {label}")
            el_axis.plot(times, [s[2] for s in samples], "-", color=colour, label=f"rotor, {label}")
            error_axis.plot(times, [s[3] for s in samples], "-", color=colour, linewidth=0.8, label=label)
        az_axis.set_title(f"pass \"{name}\"")
        el_axis.axhline(90, color="0.8", linewidth=0.8)
        error_axis.set_ylim(0, None)
        error_axis.set_xlabel("minutes from rise")
        for axis in (az_axis, el_axis, error_axis):
            axis.grid(True, linewidth=0.3)
    axes[0][0].set_ylabel("azimuth, degrees\n(as the rotor counts)")
    axes[1][0].set_ylabel("elevation, degrees\n(beyond 90: over the top)")
    axes[2][0].set_ylabel("pointing error, degrees")
    axes[0][0].legend(fontsize=8, loc="best")
    axes[2][0].legend(fontsize=8, loc="best")
    fig.suptitle(f"{title}\n(Gyrotalk under Wine)")
    fig.tight_layout()
    fig.savefig(picture, dpi=80)


def main(picture, paths):
    runs_by_choice = [json.load(open(path)) for path in paths]
    # The daemon's set points, as they came, to a rotor that turns like the simulator's: what the
    # path costs, apart from how Hamlib's dummy rotor moves.
    runs_by_choice += [dict(run, choice="rotctld-path", events=run["path_events"], rotor=[])
                       for run in runs_by_choice if "path_events" in run]
    for run in runs_by_choice:
        run["figures"] = figures(run)
    print(f"Passes sped up {runs_by_choice[0]['scale']:g} times; figures in pass time.")
    report(runs_by_choice)
    if any(run["choice"] == "rotctld" for run in runs_by_choice):
        draw(runs_by_choice, picture, shown=("overhead", "north"), choices=("frames", "rotctld", "rotctld-path"),
             title="Through Hamlib's rotator daemon and with the frames, the rotor as fast")
    else:
        draw(runs_by_choice, picture)
    print(f"drawn: {picture}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
