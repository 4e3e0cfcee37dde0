"""A Windows program that crashes, run as the tests run theirs: it must end at
once with a failing status and Wine's line on the fault, neither waiting for
a debugger nor ending with status 0. python3 crash.py WINE_RUN CRASH_EXE"""
import subprocess
import sys

wine_run, exe = sys.argv[1:3]
run = subprocess.run([wine_run, exe], capture_output=True, text=True, errors="replace", timeout=60)
if run.returncode == 0 or "Unhandled page fault" not in run.stderr:
    sys.exit(f"exit status {run.returncode}; it said:\n{run.stdout}{run.stderr}")
print("a crash fails at once: passed")
