"""scripts/demo.sh with a program that shows no Gyrotalk window: it must say
so once its limit has passed and exit non-zero. It once took a window not
yet shown for one already closed and ended quietly with status 0.
python3 demo.py SOURCE_DIR WINDOWS_BUILD NATIVE_BUILD EXE"""
import os
import subprocess
import sys

source, windows, native, exe = sys.argv[1:5]
env = {name: value for name, value in os.environ.items() if name not in ("DISPLAY", "WINEPREFIX")}
env.update(WINDOWS_BUILD=windows, NATIVE_BUILD=native, DEMO_DIR=os.path.join(windows, "demo-test"), DEMO_EXE=exe,
           DEMO_TIMEOUT="3")
run = subprocess.run([os.path.join(source, "scripts", "demo.sh"), "5"], env=env, capture_output=True, text=True,
                     timeout=280)
told = 'demo: no window "Gyrotalk Rotor Driver 0.97 test" showed its values within 3 s'
if run.returncode != 1 or told not in run.stderr or "screenshot:" in run.stdout:
    sys.exit(f"exit status {run.returncode}; told:\n{run.stdout}{run.stderr}")
print("demo without a window: passed")
