"""The release zip, as scripts/release.sh makes it from this build: no file in
it may bear the tracking program's name, since unpacked beside the real one
it would replace it; the rotor simulator in it runs under Wine.
python3 release.py SOURCE_DIR WINDOWS_BUILD NATIVE_BUILD"""
import os
import shutil
import subprocess
import sys
import zipfile

source, windows, native = sys.argv[1:4]
dist = os.path.join(windows, "release-test")
shutil.rmtree(dist, ignore_errors=True)  # never the zip of an earlier run
subprocess.run([os.path.join(source, "scripts", "release.sh")], check=True, stdout=subprocess.DEVNULL,
               env=dict(os.environ, WINDOWS_BUILD=windows, NATIVE_BUILD=native, DIST=dist))
with zipfile.ZipFile(os.path.join(dist, "Gyrotalk-0.97.zip")) as release:
    names = sorted(release.namelist())
    howto = release.read("README.txt").decode("ascii")
    release.extract("RotorSimulator.exe", dist)
helped = subprocess.run([os.environ["GYRO_WINE_RUN"], os.path.join(dist, "RotorSimulator.exe"), "--help"],
                        capture_output=True, text=True, errors="replace", timeout=120)
problems = []
if names != ["Gyrotalk.exe", "README.txt", "RotorSimulator.exe", "TrackingSimulator.exe"]:
    problems.append(f"the zip holds {names}")
if "beside your tracking program" in howto:
    problems.append("the how-to still says to unpack beside the tracking program")
if '"TrackingSimulator.exe --help"' not in howto or "Zenitrak.exe (included)" in howto:
    problems.append("the how-to does not name the simulator as shipped")
if "RotorSimulator.exe --tcp 4001" not in howto or "127.0.0.1:4001" not in howto:
    problems.append("the how-to does not tell how to try it with the rotor simulator")
if helped.returncode != 0 or not helped.stdout.startswith("usage: RotorSimulator --tcp PORT"):
    problems.append(f"RotorSimulator.exe --help under Wine: {helped.returncode} {helped.stdout[:200]!r}")
if problems:
    sys.exit("; ".join(problems))
print(f"release zip: passed ({', '.join(names)}; RotorSimulator.exe --help: {helped.stdout.splitlines()[0]})")
