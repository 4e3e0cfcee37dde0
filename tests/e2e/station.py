"""scripts/station.sh with a pseudo-terminal standing in for a USB serial
adapter: python3 station.py SCENARIO."""
import os
import subprocess
import tempfile

from rig import GYROTALK_EXE, MODEMSHIM, WINE_RUN, WINEPREFIX, Failure, Rig, RotorSim, reg_query, run_scenario, wine

STATION = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "station.sh")
PORTS_KEY = r"HKLM\Software\Wine\Ports"


def expect(condition, message):
    if not condition:
        raise Failure(message)


def station(*args, env=None, **popen):
    env = {**os.environ, "WINE": WINE_RUN, "LD_PRELOAD": MODEMSHIM, **(env or {})}
    return subprocess.Popen([STATION, *args], env=env, text=True, **popen)


def refusal(*args, **env):
    """What station.sh says when it refuses, as it must: status 1, nothing changed."""
    run = station(*args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        err = run.communicate(timeout=60)[1]
    except subprocess.TimeoutExpired:
        run.kill()  # it went on and started the program
        raise
    expect(run.returncode == 1 and "nothing was changed" in err, f"exit status {run.returncode}, told: {err!r}")
    return err


def forget(com):
    link = os.path.join(WINEPREFIX, "dosdevices", com.lower())
    if os.path.lexists(link):
        os.unlink(link)
    wine("reg", "delete", PORTS_KEY, "/v", com, "/f", check=False)


def device_mapped_and_driven():
    """A by-id link to the device: mapped to COM7, chosen, and the program
    polls the controller through it."""
    with Rig("station") as rig:
        by_id = os.path.join(rig.workdir, "by-id")
        os.makedirs(by_id)
        sim = RotorSim(rig.workdir, "COM7")  # makes dosdevices/com7 itself: station.sh must replace it
        rig.sims.append(sim)
        adapter = os.path.join(by_id, "usb-Test_Rotor-if00-port0")
        os.symlink(os.readlink(sim.link), adapter)
        try:
            rig.program = station("--port", adapter, "--com", "com7", "--exe", rig.exe, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
            rig.window.wait_ready()
            rig.window.wait_text("s_ac", "Opened")
            expect(rig.window.text("CPP") == "COM7", f"the port chosen is {rig.window.text('CPP')!r}")
            sim.wait_states(0, 1, "a STATE frame through the mapped port", 15)
            expect(os.readlink(sim.link) == adapter, f"com7 links to {os.readlink(sim.link)}")
            expect(reg_query(PORTS_KEY, "COM7") == ("REG_SZ", adapter), "the port mapping is not stored")
            rig.stop_program()
        finally:
            forget("COM7")


def missing_device_changes_nothing():
    with Rig("station_missing"):
        forget("COM8")
        run = station("--port", "/dev/serial/by-id/usb-Gone-if00-port0", "--com", "COM8",
                      stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, err = run.communicate(timeout=30)
        expect(run.returncode == 1, f"exit status {run.returncode}")
        expect("does not exist" in err and "nothing was changed" in err, f"told: {err!r}")
        expect(not os.path.lexists(os.path.join(WINEPREFIX, "dosdevices", "com8")), "a link was made")
        expect(reg_query(PORTS_KEY, "COM8") is None, "a port mapping was stored")


def relative_port_mapped_whole():
    """--port pts/N given from /dev: the link and the mapping hold the whole
    path (a link to pts/N would point into dosdevices/), and the port opens."""
    with Rig("station_relative") as rig:
        sim = rig.rotor("COM9")
        device = os.readlink(sim.link)
        try:
            rig.program = station("--port", os.path.relpath(device, "/dev"), "--com", "COM9", "--exe", rig.exe,
                                  cwd="/dev", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            rig.window.wait_ready()
            rig.window.wait_text("s_ac", "Opened")
            expect(reg_query(PORTS_KEY, "COM9") == ("REG_SZ", device), f"mapped to {reg_query(PORTS_KEY, 'COM9')}")
            rig.stop_program()
        finally:
            forget("COM9")


def wine_failure_told():
    """No Wine at all, and Wine failing at its first call: both said, with the mend."""
    master, terminal = os.openpty()
    try:
        adapter = os.ttyname(terminal)
        told = refusal("--port", adapter, "--exe", GYROTALK_EXE, WINE="/nonexistent/wine")
        expect("apt-get install wine" in told, f"told: {told!r}")
        with tempfile.NamedTemporaryFile() as no_folder:
            told = refusal("--port", adapter, "--exe", GYROTALK_EXE, WINE="wine", WINEPREFIX=no_folder.name)
        expect("Not a directory" in told and "WINEPREFIX names the prefix" in told, f"told: {told!r}")
    finally:
        os.close(master)
        os.close(terminal)


def non_terminal_refused():
    link = os.path.join(WINEPREFIX, "dosdevices", "com8")
    if os.path.lexists(link):
        os.unlink(link)
    told = refusal("--port", "/dev/null", "--com", "COM8", "--exe", GYROTALK_EXE)
    expect("not a terminal" in told, f"told: {told!r}")
    expect(not os.path.lexists(link), "a link was made")


if __name__ == "__main__":
    run_scenario([device_mapped_and_driven, missing_device_changes_nothing, relative_port_mapped_whole,
                  wine_failure_told, non_terminal_refused])
