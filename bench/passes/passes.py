"""Figures and drawing of the passes flown by fly.py, one JSON per azimuth
range: per pass and range the pointing error while the satellite is up (the
angle between where it is and where the rotor points, at each STATE reply),
the largest single rotor run, and the time spent unwinding (on runs of more
than 200 degrees, which no target that moved a few degrees needs). Times are
pass time (real time x the scale).

    python3 passes.py PICTURE.png RUN.json...
"""
import bisect
import json
import math
import statistics
import sys

PASS_NAMES = ["north", "overhead", "south", "end"]
UNWINDING_RUN = 200.0


def truth_at(lines, at_ms):
    """The satellite's azimuth (unwrapped near the neighbouring line) and elevation at a time."""
    times = [t for t, _, _ in lines]
    i = min(max(bisect.bisect_left(times, at_ms), 1), len(lines) - 1)
    (t0, a0, e0), (t1, a1, e1) = lines[i - 1], lines[i]
    f = 0.0 if t1 == t0 else min(max((at_ms - t0) / (t1 - t0), 0.0), 1.0)
    a1 = a0 + (a1 - a0 + 180) % 360 - 180
    return (a0 + f * (a1 - a0)) % 360, e0 + f * (e1 - e0)


def separation(az1, el1, az2, el2):
    a1, e1, a2, e2 = map(math.radians, (az1, el1, az2, el2))
    c = math.sin(e1) * math.sin(e2) + math.cos(e1) * math.cos(e2) * math.cos(a1 - a2)
    return math.degrees(math.acos(min(1.0, max(-1.0, c))))


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


def runs(samples):
    """(start ms, end ms, degrees) of each stretch in which the rotor's azimuth turns one way."""
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


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def figures(run):
    lines, scale = run["lines"], run["scale"]
    result = []
    for name, (first, last) in zip(PASS_NAMES, visible_stretches(lines)):
        samples = [(t, az, el) for t, az, el in run["rotor"] if first <= t <= last]
        errors = [separation(*truth_at(lines, t), az % 360, el) for t, az, el in samples]
        moves = runs(samples)
        result.append({
            "pass": name, "errors": errors,
            "largest_run": max((d for _, _, d in moves), default=0.0),
            "unwinding_s": sum(end - start for start, end, d in moves if d > UNWINDING_RUN) * scale / 1000.0,
            "first": first, "last": last})
    return result


def report(runs_by_range):
    print("| Pass | Range | Pointing error median / 95 % / max | Largest rotor run | Unwinding | Samples |")
    print("|---|---|---|---|---|---|")
    pooled = {}
    for name in PASS_NAMES:
        for run in runs_by_range:
            f = next(p for p in run["figures"] if p["pass"] == name)
            e = f["errors"]
            pooled.setdefault(run["range"], []).extend(e)
            print(f"| {name} | {run['range']} | {statistics.median(e):.2f}° / {percentile(e, 0.95):.2f}° / "
                  f"{max(e):.2f}° | {f['largest_run']:.1f}° | {f['unwinding_s']:.0f} s | {len(e)} |")
    for azimuth_range, e in pooled.items():
        print(f"| all passes | {azimuth_range} | {statistics.median(e):.2f}° / {percentile(e, 0.95):.2f}° / "
              f"{max(e):.2f}° | | | {len(e)} |")


def draw(runs_by_range, picture):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, axes = plt.subplots(2, len(PASS_NAMES), figsize=(16, 7), sharex="col")
    colours = {"0-360": "tab:red", "0-450": "tab:blue", "-180-540": "tab:green"}
    for column, name in enumerate(PASS_NAMES):
        az_axis, el_axis = axes[0][column], axes[1][column]
        for index, run in enumerate(runs_by_range):
            f = next(p for p in run["figures"] if p["pass"] == name)
            first, scale = f["first"], run["scale"]
            span = (first - 150000 / scale, f["last"] + 30000 / scale)

            def minutes(t):
                return (t - first) * scale / 60000.0
            if index == 0:
                target = [(t, a, e) for t, a, e in run["lines"] if span[0] <= t <= span[1]]
                az_axis.plot([minutes(t) for t, _, _ in target], [a for _, a, _ in target], ".", color="0.6",
                             markersize=2, label="target")
                el_axis.plot([minutes(t) for t, _, _ in target], [e for _, _, e in target], "-", color="0.6",
                             label="target")
            rotor = [(t, a, e) for t, a, e in run["rotor"] if span[0] <= t <= span[1]]
            colour = colours.get(run["range"], "black")
            az_axis.plot([minutes(t) for t, _, _ in rotor], [a for _, a, _ in rotor], "-", color=colour,
                         label=f"rotor {run['range']}")
            el_axis.plot([minutes(t) for t, _, _ in rotor], [e for _, _, e in rotor], "-", color=colour,
                         label=f"rotor {run['range']}")
        az_axis.set_title(f"pass \"{name}\"")
        el_axis.set_xlabel("minutes from rise")
        el_axis.axhline(0, color="0.8", linewidth=0.8)
        for axis in (az_axis, el_axis):
            axis.axvline(0, color="0.85", linewidth=0.8)
            axis.grid(True, linewidth=0.3)
    axes[0][0].set_ylabel("azimuth, degrees (as the rotor counts)")
    axes[1][0].set_ylabel("elevation, degrees")
    axes[0][0].legend(fontsize=8, loc="best")
    fig.suptitle("Target and rotor over four passes, per azimuth range (Gyrotalk under Wine with both simulators)")
    fig.tight_layout()
    fig.savefig(picture, dpi=80)


def main(picture, paths):
    runs_by_range = [json.load(open(path)) for path in paths]
    for run in runs_by_range:
        run["figures"] = figures(run)
        run["rotor"] = [tuple(r) for r in run["rotor"]]
    print(f"Passes sped up {runs_by_range[0]['scale']:g} times; figures in pass time.")
    report(runs_by_range)
    draw(runs_by_range, picture)
    print(f"drawn: {picture}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
