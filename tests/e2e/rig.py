"""The test rig: Gyrotalk.exe under Wine with the rotator simulator on a
pseudo-terminal (through the modem shim) and the tracking simulator, driven
from outside through its window with windriver.

Paths come from the environment that CTest sets (see CMakeLists.txt).
"""
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

CAPTION = "Gyrotalk Rotor Driver 0.97 test"
SETTINGS_KEY = r"HKCU\Software\Treml\Zenitrak\Gyrotalk"
SERIALCOMM_KEY = r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM"

# Control ids of the main window's children.
IDS = {
    "Image1": 100, "CPP": 101, "cs": 102, "op": 103, "Exit": 104,
    "l_dd": 105, "l_st": 106, "l_na": 107, "l_az": 108, "l_el": 109,
    "l_uf": 110, "l_df": 111, "l_um": 112, "l_dm": 113,
    "s_ac": 114, "s_te": 115, "l_cm": 116, "s_az": 117, "s_el": 118, "s_dv": 119,
}
NAMES = {number: name for name, number in IDS.items()}

PORT = "COM5"        # where the rotator simulator answers
OTHER_PORT = "COM6"  # a second simulator, for port changes

ENV = os.environ
WINE_RUN = ENV["GYRO_WINE_RUN"]
WINEPREFIX = ENV["WINEPREFIX"]
GYROTALK_EXE = ENV["GYRO_GYROTALK_EXE"]
ZENITRAK_EXE = ENV["GYRO_ZENITRAK_EXE"]
WINDRIVER_EXE = ENV["GYRO_WINDRIVER_EXE"]
DDEPEER_EXE = ENV["GYRO_DDEPEER_EXE"]
ROTORSIM = ENV["GYRO_ROTORSIM"]
MODEMSHIM = ENV["GYRO_MODEMSHIM"]


class Failure(AssertionError):
    pass


def told(output):
    """What a program and Wine printed, or that neither printed a word."""
    output = output.strip()
    return output if output else "nothing, from the program or from Wine"


def wine(*args, check=True, timeout=60, extra_env=None):
    """Runs a Windows program to its end. Its stderr holds Wine's own error
    lines too: all that is said of a program that Wine ends before it runs."""
    env = dict(ENV, **(extra_env or {}))
    done = subprocess.run([WINE_RUN, *args], capture_output=True, text=True, errors="replace",
                          timeout=timeout, env=env)
    if check and done.returncode != 0:
        raise failed(args, done)
    return done


def failed(args, done):
    return Failure(f"{args} failed (exit status {done.returncode}); it said: {told(done.stdout + done.stderr)}")


def windriver(*args, check=True, timeout=60):
    """windriver ARGS. It says why whenever it fails (an "error" line)."""
    return wine(WINDRIVER_EXE, *args, check=check, timeout=timeout)


def wait_for(what, condition, limit=15.0, step=0.1):
    """Polls condition() until it returns something true; fails after limit seconds."""
    end = time.monotonic() + limit
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > end:
            raise Failure(f"timed out waiting for {what}")
        time.sleep(step)


# --- registry -------------------------------------------------------------

def reg_query(key, value):
    """The value's (type, data), or None when the key or value is missing."""
    done = wine("reg", "query", key, "/v", value, check=False)
    for line in done.stdout.splitlines():
        fields = line.strip().split(None, 2)
        if len(fields) >= 2 and fields[0].lower() == value.lower():
            return fields[1], fields[2] if len(fields) > 2 else ""
    return None


def reg_values(key):
    """The names of the key's values."""
    done = wine("reg", "query", key, check=False)
    return [line.strip().split(None, 2)[0] for line in done.stdout.splitlines()
            if line.startswith("    ") and len(line.split()) >= 2]


def reg_key_exists(key):
    return wine("reg", "query", key, check=False).returncode == 0


def reg_delete_key(key):
    wine("reg", "delete", key, "/f", check=False)


def reg_add(key, value, data, kind="REG_SZ"):
    wine("reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f")


def keep_server():
    """Keeps a server running for the prefix: HKLM\HARDWARE lives only as
    long as it does. True when it is a new one. The server and Wine's
    background services, started by the first program of a new server,
    inherit its output: they get none, so that later captured calls do not
    wait for them to end."""
    quiet = dict(env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if subprocess.run(["wineserver", "-p"], **quiet).returncode != 0:
        if persistent_server_runs():
            return False
        # One that a lone program started ends with its last program.
        subprocess.run(["wineserver", "-w"], **quiet, timeout=60)
        subprocess.run(["wineserver", "-p"], **quiet)
    subprocess.run([WINE_RUN, "cmd", "/c", "exit"], **quiet, timeout=120)
    return True


def persistent_server_runs():
    pid = wineserver_pid()
    try:
        return pid is not None and "-p" in open(f"/proc/{pid}/cmdline").read().split("\0")[1:]
    except OSError:
        return False  # it has just ended


def own_serial_ports(settle):
    """Makes the simulators' ports the machine's ports, and no others. Right
    after a server has started, the prefix's own COM1 was seen to come back
    once it had been removed, so then the list is set again until it reads
    back unchanged twice, a second apart (under a load of 7 on 2 cores it
    came back for over 20 s)."""
    ours = sorted(rf"\Device\E2E{port}" for port in (PORT, OTHER_PORT))
    settled = 0 if settle else 1
    end = time.monotonic() + 60
    while settled < 2:
        values = sorted(reg_values(SERIALCOMM_KEY))
        if values == ours:
            settled += 1
        else:
            settled = 0
            if time.monotonic() > end:
                raise Failure(f"the serial ports will not stay the simulators': {values}")
            for value in values:
                if value not in ours:
                    wine("reg", "delete", SERIALCOMM_KEY, "/v", value, "/f")
            for port in (PORT, OTHER_PORT):
                reg_add(SERIALCOMM_KEY, rf"\Device\E2E{port}", port)
        if settled < 2:
            time.sleep(1)


# --- the window -----------------------------------------------------------

def unquote(text):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), text)


FIELD = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)')


def parse_fields(line):
    return {k: unquote(v[1:-1]) if v.startswith('"') else v for k, v in FIELD.findall(line)}


class Window:
    """The running program's main window, seen through windriver; of the
    process pid (Windows' number) when two copies run; by another caption
    while the program notes something in it."""

    def __init__(self, pid=None, caption=CAPTION):
        self.pid = ["--pid", str(pid)] if pid else []
        self.caption = caption

    def drive(self, *args, check=True, timeout=60):
        return windriver(args[0], "--caption", self.caption, *self.pid, *args[1:], check=check, timeout=timeout)

    def wait_ready(self, limit=30.0):
        """Until the window is there with every control: a window is found
        as soon as it is made, before its children are."""
        self.drive("find", "--timeout", str(int(limit * 1000)), timeout=limit + 60)
        wait_for("every control", lambda: len(self.snapshot()) == len(IDS), limit)

    def pid_now(self):
        """Windows' process number of the window."""
        return int(parse_fields(self.drive("find").stdout)["pid"])

    def snapshot(self):
        """Every named child: name -> (text, visible)."""
        children = {}
        for line in self.drive("list").stdout.splitlines():
            if line.startswith("child "):
                f = parse_fields(line)
                name = NAMES.get(int(f["id"]))
                if name:
                    children[name] = (f.get("text", ""), f.get("visible") == "1")
        return children

    def texts(self):
        return {name: text for name, (text, _) in self.snapshot().items()}

    def text(self, name):
        return self.texts()[name]

    def visible(self, name):
        return self.snapshot()[name][1]

    def wait_text(self, name, expected, limit=15.0):
        last = {}

        def matches():
            last["text"] = self.text(name)
            return expected(last["text"]) if callable(expected) else last["text"] == expected
        try:
            wait_for(f"{name} to read {expected!r}", matches, limit, step=0.2)
        except Failure as error:
            raise Failure(f"{error}; last read {last.get('text')!r}") from None

    def wait_visible(self, name, visible, limit=15.0):
        wait_for(f"{name} visible={visible}", lambda: self.visible(name) == visible, limit, step=0.2)

    def click(self, name):
        self.drive("click", "--id", str(IDS[name]))

    def pick(self, name, item):
        self.drive("pick", "--id", str(IDS[name]), "--item", item)

    def items(self, name):
        """The texts of a drop-down list's items."""
        lines = (parse_fields(line) for line in self.drive("list").stdout.splitlines() if line.startswith("item "))
        return [f["text"] for f in lines if f["id"] == str(IDS[name])]

    def drop_down(self, name):
        """Opens the list as a user would, and closes it again."""
        self.drive("dropdown", "--id", str(IDS[name]))

    def close(self):
        self.drive("close", "--timeout", "30000", timeout=90)


def answer_dialog(menu_id, caption, typed):
    """Picks the system menu's item that opens a dialog, types into the
    dialog's edit field and presses OK; returns once the program has
    handled the answer."""
    pick = subprocess.Popen([WINE_RUN, WINDRIVER_EXE, "syscommand", "--caption", CAPTION, "--id", str(menu_id),
                             "--timeout", "60000"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        # The edit field lies under a prompt of two lines.
        windriver("type", "--caption", caption, "--at", "20,58", "--item", typed, "--timeout", "30000")
        windriver("click", "--caption", caption, "--text", "OK")
    finally:
        output = pick.communicate(timeout=60)[0]
    if pick.returncode != 0:
        raise Failure(f"the menu item {menu_id:#x} was not handled: {output}")


# --- the rotator simulator -----------------------------------------------

LOG_LINE = re.compile(r"^(\d+(?:\.\d+)?)\s+(rx|tx)\s+(\w+)\s*(.*)$")


class RotorSim:
    """The rotator simulator on a pseudo-terminal linked as a COM port."""

    def __init__(self, workdir, port=PORT, *options):
        self.port = port
        self.log_path = os.path.join(workdir, f"rotorsim-{port}.log")
        self.control = os.path.join(workdir, f"rotorsim-{port}.ctl")
        link = os.path.join(WINEPREFIX, "dosdevices", port.lower())
        if os.path.lexists(link):
            os.unlink(link)
        self.process = subprocess.Popen(
            [ROTORSIM, "--link", link, "--log", self.log_path, "--control", self.control, *options],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wait_for("the simulator's port", lambda: os.path.lexists(link) and os.path.exists(self.control), 10)
        self.link = link

    def command(self, line):
        with open(self.control, "a") as control:
            control.write(line + "\n")

    def frames(self, direction="rx"):
        """(seconds, kind, bytes-hex) of every logged frame or reply."""
        found = []
        try:
            with open(self.log_path) as log:
                for line in log:
                    m = LOG_LINE.match(line.strip())
                    if m and m.group(2) == direction:
                        found.append((float(m.group(1)) / 1000.0, m.group(3), m.group(4)))
        except FileNotFoundError:
            pass
        return found

    def targets(self):
        """(azimuth, elevation) texts of every SET frame's set point, in order."""
        with open(self.log_path) as log:
            return [tuple(line.split()[2:4]) for line in log if line.split()[1:2] == ["target"]]

    def states(self, direction="rx"):
        """How many STATE frames arrived (rx), or replies to them went out (tx)."""
        return sum(1 for _, kind, _ in self.frames(direction) if kind == "STATE")

    def wait_states(self, since, more, what, limit=15.0, direction="rx"):
        """Waits until `more` STATE frames (or replies) have come after `since` of them."""
        return wait_for(what, lambda: self.states(direction) >= since + more, limit, step=0.1)

    def kinds(self):
        return [kind for _, kind, _ in self.frames()]

    def wait_frames(self, what, condition, limit=20.0):
        return wait_for(what, lambda: condition(self.frames()), limit, step=0.1)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.link and os.path.lexists(self.link):
            os.unlink(self.link)


class TcpRotorSim(RotorSim):
    """The rotator simulator as a controller on the network: on a loopback
    TCP port, one client at a time. Each one started logs to its own file."""

    started = 0

    def __init__(self, workdir, tcp_port, *options):
        TcpRotorSim.started += 1
        name = f"rotorsim-tcp{tcp_port}-{TcpRotorSim.started}"
        self.port = f"127.0.0.1:{tcp_port}"
        self.log_path = os.path.join(workdir, name + ".log")
        self.control = os.path.join(workdir, name + ".ctl")
        self.link = None
        self.process = subprocess.Popen(
            [ROTORSIM, "--tcp", str(tcp_port), "--log", self.log_path, "--control", self.control, *options],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        listening = self.process.stdout.readline().strip()  # printed once it listens
        if listening != self.port:
            raise Failure(f"the simulator did not listen on {self.port}: {listening!r} {self.process.stderr.read()}")

    def connections(self):
        """The log's connected and disconnected lines, in order."""
        with open(self.log_path) as log:
            return [line.split()[1] for line in log if line.split()[1:2] in (["connected"], ["disconnected"])]


# --- the tracking simulator -----------------------------------------------

class Output:
    """A started program's stdout and stderr, or one of them, kept in a file
    (a pipe would keep a reader waiting on Wine's services, which inherit it)."""

    def __init__(self):
        self.file = tempfile.TemporaryFile()

    def text(self):
        self.file.seek(0)
        return told(self.file.read().decode(errors="replace"))

    def lines(self):
        self.file.seek(0)
        return self.file.read().decode(errors="replace").splitlines()


def ended(what, process, output):
    """Fails when the process has ended, saying how and what it printed."""
    if process.poll() is not None:
        raise Failure(f"{what} ended (exit status {process.returncode}); it said: {output.text()}")


NOT_RUNNING = 2  # Zenitrak --send's exit status when no simulator runs


def wait_serving(process, output):
    """Until the tracking simulator started as process takes commands ("ping"
    answers). Wine was seen to stall a program's start for half a minute now
    and then."""
    def serving():
        ended("the tracking simulator", process, output)
        done = wine(ZENITRAK_EXE, "--send", "ping", check=False)
        if done.returncode not in (0, NOT_RUNNING):
            raise failed(("Zenitrak", "--send", "ping"), done)
        return done.returncode == 0
    wait_for("the tracking simulator's service", serving, 90, 0.2)


class Zenitrak:
    def __init__(self, *options):
        self.output = Output()
        self.process = subprocess.Popen([WINE_RUN, ZENITRAK_EXE, *options],
                                        stdout=self.output.file, stderr=self.output.file)
        wait_serving(self.process, self.output)

    def send(self, command):
        wine(ZENITRAK_EXE, "--send", command)

    def wait_traced(self, word, limit=15.0, count=1):
        """Until the simulator, started with --trace, has printed COUNT lines WORD."""
        wait_for(f"the tracking simulator to say {word!r}",
                 lambda: sum(line.split(" ", 1)[0] == word for line in self.output.lines()) >= count, limit)

    def kill(self):
        """Ends it as a crash would: no goodbye on its conversations."""
        self.process.kill()
        self.process.wait()
        wine("taskkill", "/f", "/im", "Zenitrak.exe", check=False)

    def stop(self):
        if self.process.poll() is None:
            wine(ZENITRAK_EXE, "--send", "quit", check=False)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


# --- network control ----------------------------------------------------------

def free_tcp_port():
    """A loopback TCP port that nothing uses now: each run takes its own, so
    runs in other build trees on the machine never meet."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wineserver_pid():
    """The prefix's wineserver: its working directory is named after the
    prefix's device and inode."""
    status = os.stat(WINEPREFIX)
    name = f"server-{status.st_dev:x}-{status.st_ino:x}"
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.path.basename(os.readlink(f"/proc/{entry}/cwd")) == name and \
                        open(f"/proc/{entry}/comm").read().startswith("wineserver"):
                    return int(entry)
            except OSError:
                pass
    return None


def listening_addresses():
    """(address, port) of every TCP socket that a program of the prefix
    listens on. Wine keeps its programs' sockets in the wineserver."""
    pid = wineserver_pid()
    inodes = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            link = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError:
            continue
        if link.startswith("socket:["):
            inodes.add(link[8:-1])
    found = []
    for table, family in (("tcp", socket.AF_INET), ("tcp6", socket.AF_INET6)):
        with open(f"/proc/net/{table}") as lines:
            for line in list(lines)[1:]:
                fields = line.split()
                if fields[3] == "0A" and fields[9] in inodes:  # LISTEN
                    address, port = fields[1].split(":")
                    raw = b"".join(struct.pack("<I", int(address[i:i + 8], 16)) for i in range(0, len(address), 8))
                    found.append((socket.inet_ntop(family, raw), int(port, 16)))
    return sorted(found)


class Stamped:
    """A Windows program's output lines "WORD US ..." (US from
    QueryPerformanceCounter, which under Wine is CLOCK_MONOTONIC_RAW), read
    as they come with their time in CLOCK_MONOTONIC ms."""

    def __init__(self, *command, cwd=None):
        self.errors = Output()
        self.process = subprocess.Popen([WINE_RUN, *command], stdout=subprocess.PIPE, stderr=self.errors.file,
                                        text=True, errors="replace", cwd=cwd)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            # The clocks' offset at the moment of reading; the line is at most
            # a fraction of a millisecond old then.
            offset_us = time.clock_gettime(time.CLOCK_MONOTONIC) * 1e6 - \
                time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1e6
            words = line.rstrip("\n").split(" ", 3)
            if len(words) >= 2 and words[1].isdigit():
                self.take((int(words[1]) + offset_us) / 1000.0, words)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)


class TracedZenitrak(Stamped):
    """The tracking simulator with --trace: (ms, azimuth, elevation) of every line it published."""

    def __init__(self, *options):
        self.lines = []
        super().__init__(ZENITRAK_EXE, "--trace", *options)
        wait_serving(self.process, self.errors)

    def take(self, at_ms, words):
        if words[0] == "line" and len(words) == 4:
            fields = dict((w[:2], w[2:]) for w in words[3].split() if w[:2] in ("AZ", "EL"))
            self.lines.append((at_ms, float(fields["AZ"]), float(fields["EL"])))

    def send(self, command):
        wine(ZENITRAK_EXE, "--send", command)

    def stop(self):
        wine(ZENITRAK_EXE, "--send", "quit", check=False)
        super().stop()


# --- Hamlib's rotator daemon ------------------------------------------------------

class Rotctld:
    """Hamlib's rotator daemon on a loopback port with its dummy rotator,
    which turns about 6 degrees a second on each axis; its verbose log in a
    file of its own. Another model number than 1 is one the daemon does not
    know: it ends at once."""

    started = 0

    def __init__(self, workdir, tcp_port, model="1", *options):
        Rotctld.started += 1
        self.port = tcp_port
        self.log_path = os.path.join(workdir, f"rotctld-{tcp_port}-{Rotctld.started}.log")
        with open(self.log_path, "w") as log:
            self.process = subprocess.Popen(["rotctld", "-m", model, "-T", "127.0.0.1", "-t", str(tcp_port), "-vvvv",
                                             *options], stdout=subprocess.DEVNULL, stderr=log)
        if model == "1":
            wait_for("rotctld to listen", self.listening, 10)

    def listening(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
            return True
        except OSError:
            return False

    def position(self):
        """(azimuth, elevation) as Hamlib's own client reads them, or None."""
        done = subprocess.run(["rotctl", "-m", "2", "-r", f"127.0.0.1:{self.port}", "p"], capture_output=True,
                              text=True, timeout=30)
        lines = done.stdout.split()
        return (float(lines[0]), float(lines[1])) if done.returncode == 0 and len(lines) == 2 else None

    def wait_position(self, azimuth, elevation, limit=20):
        """Until the rotor stands within a degree of the position."""
        def near():
            now = self.position()
            return now if now and abs(now[0] - azimuth) <= 1 and abs(now[1] - elevation) <= 1 else None
        return wait_for(f"the daemon's rotor at {azimuth} {elevation}", near, limit, 0.5)

    def ask(self, line):
        """One command as a client of its own; the answer's first line."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as client:
            client.sendall((line + "\n").encode())
            return client.makefile().readline().strip()

    def calls(self):
        """The rotor calls the daemon logged, in order: get_position, set_position AZ EL, stop."""
        with open(self.log_path, errors="replace") as log:
            return [m.group(1) + (f" {m.group(2)} {m.group(3)}" if m.group(2) else "") for m in
                    (re.match(r"rot_(get_position|set_position|stop) called(?: az=(\S+) el=(\S+))?", line)
                     for line in log) if m]

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


# --- the program -------------------------------------------------------------

class Rig:
    """One scenario's surroundings: fresh settings, the program in its own
    directory in the prefix, simulators as asked for; torn down in reverse."""

    def __init__(self, name, root="e2e"):
        self.name = name
        self.workdir = os.path.join(WINEPREFIX, "drive_c", root, name)
        shutil.rmtree(self.workdir, ignore_errors=True)
        os.makedirs(self.workdir)
        self.exe = os.path.join(self.workdir, "Gyrotalk.exe")
        shutil.copy(GYROTALK_EXE, self.exe)
        self.window = Window()
        self.program = None
        self.sims = []
        self.tracking = None
        # A scenario that was cut off (a time-out) may have left its program;
        # only this prefix's: other test runs on the machine have their own.
        left_over = re.escape(os.path.join(WINEPREFIX, "drive_c", root)) + r"/.*Gyrotalk\.exe"
        subprocess.run(["pkill", "-KILL", "-f", left_over], capture_output=True)
        fresh = keep_server()
        reg_delete_key(r"HKCU\Software\Treml")
        own_serial_ports(settle=fresh)

    def rotor(self, port=PORT, *options):
        sim = RotorSim(self.workdir, port, *options)
        self.sims.append(sim)
        return sim

    def rotctld(self, tcp_port, model="1", *options):
        daemon = Rotctld(self.workdir, tcp_port, model, *options)
        self.sims.append(daemon)
        return daemon

    def tcp_rotor(self, tcp_port, *options):
        sim = TcpRotorSim(self.workdir, tcp_port, *options)
        self.sims.append(sim)
        return sim

    def zenitrak(self, *options):
        self.tracking = Zenitrak(*options)
        return self.tracking

    def place_zenitrak_beside(self):
        shutil.copy(ZENITRAK_EXE, os.path.join(self.workdir, "Zenitrak.exe"))

    def start(self):
        env = dict(ENV, LD_PRELOAD=MODEMSHIM)
        self.started_at = time.monotonic()
        output = Output()
        self.program = subprocess.Popen([WINE_RUN, self.exe], cwd=self.workdir, env=env,
                                        stdout=output.file, stderr=output.file)
        try:
            self.window.wait_ready()
        except Failure:
            ended("the program", self.program, output)
            raise
        return self.window

    def window_lines(self, caption):
        """windriver's line of every top-level window with the caption now."""
        return [line for line in windriver("windows", "--caption", caption).stdout.splitlines()
                if line.startswith("window ")]

    def dismiss_dialogs(self, caption):
        while self.window_lines(caption):
            windriver("close", "--caption", caption, check=False)

    def stop_program(self):
        """Closes the window as a user would and waits for the process to end."""
        self.window.close()
        self.program.wait(30)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.program and self.program.poll() is None:
            self.window.drive("close", check=False)
            try:
                self.program.wait(15)
            except subprocess.TimeoutExpired:
                self.program.kill()
        if self.tracking:
            self.tracking.stop()
        for sim in self.sims:
            sim.stop()
        wine("taskkill", "/f", "/im", "Zenitrak.exe", check=False)
        return False


def run_scenario(scenarios):
    """Runs the scenario named on the command line: SCRIPT SCENARIO."""
    script = os.path.basename(sys.argv[0])
    names = {f.__name__: f for f in scenarios}
    if len(sys.argv) != 2 or sys.argv[1] not in names:
        sys.exit(f"usage: {script} {{{'|'.join(names)}}}")
    names[sys.argv[1]]()
    print(f"{sys.argv[1]}: passed ({CAPTION})")
