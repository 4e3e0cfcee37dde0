"""End-to-end scenarios of network control: python3 network.py SCENARIO.

Hamlib's own network client (rotctl -m 2) and raw sockets against the real
program under Wine. Each run takes a TCP port that is free at that moment,
so runs in other build trees on the machine never meet this one's."""
import random
import socket
import struct
import subprocess
import time

from rig import (SETTINGS_KEY, Failure, Rig, free_tcp_port, listening_addresses, reg_add, reg_query, run_scenario,
                 wait_for, windriver)

NETWORK_CONTROL_ID = 0x310  # the system menu's "Network control"
SEQ_FAST = "G-500, S-1000"
INFO = "Gyrotalk Rotor Driver 0.97 test"
RECOVERY_S = 5  # unattended: a tracking program is looked for this often


def expect(condition, message):
    if not condition:
        raise Failure(message)


class Client:
    """One raw connection speaking the protocol line by line."""

    def __init__(self, port, timeout=5.0):
        self.socket = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.pending = b""

    def send(self, data):
        self.socket.sendall(data if isinstance(data, bytes) else data.encode())

    def line(self):
        while b"\n" not in self.pending:
            chunk = self.socket.recv(65536)
            if not chunk:
                raise Failure(f"connection closed; had {self.pending!r}")
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode(errors="replace")

    def ask(self, command, lines):
        """Sends one command and reads its answer of `lines` lines."""
        self.send(command + "\n")
        return [self.line() for _ in range(lines)]

    def position(self):
        """get_pos: its two lines, or None when it answers an error."""
        first = self.ask("p", 1)[0]
        return None if first.startswith("RPRT") else [first, self.line()]

    def closed_by_server(self, limit=10.0):
        """True once the server has closed this connection (reads find the end)."""
        self.socket.settimeout(limit)
        try:
            while self.socket.recv(65536):
                pass
            return True
        except ConnectionResetError:
            return True
        except socket.timeout:
            return False

    def close(self):
        self.socket.close()


def served(port):
    """A new client gets an answer (not refused, not reset)."""
    try:
        return Client(port).ask("_", 1) == [INFO]
    except (OSError, Failure):
        return False


def rotctl(port, *command):
    done = subprocess.run(["rotctl", "-m", "2", "-r", f"127.0.0.1:{port}", *command], capture_output=True,
                          text=True, timeout=30)
    return done.returncode, done.stdout.strip().splitlines(), done.stderr


def rotctl_position(port):
    """rotctl's get_pos: its two lines, or None when it failed."""
    status, lines, _ = rotctl(port, "p")
    return lines if status == 0 else None


def started(rig, port, *rotor_options, **settings):
    reg_add(SETTINGS_KEY, "ComSeq", SEQ_FAST)
    reg_add(SETTINGS_KEY, "NetworkPort", str(port))
    for name, value in settings.items():
        reg_add(SETTINGS_KEY, name, value)
    sim = rig.rotor("COM5", *rotor_options)
    window = rig.start()
    window.wait_text("s_ac", "Opened")
    return sim, window


def frames_after(sim, count):
    return [kind for _, kind, _ in sim.frames()[count:]]


# --- scenarios -------------------------------------------------------------

def rotctl_drives_the_rotor():
    """Hamlib's client: get_pos reads the latest reply, set_pos puts a SET with
    the target on the wire and the window shows it as "network", stop puts a
    STOP on the wire and no SET follows, park goes to the stored park
    position, get_info names the program; with the port closed get_pos fails."""
    port = free_tcp_port()
    with Rig("network_rotctl") as rig:
        sim, window = started(rig, port, "--position", "150", "20", "--rate", "60", "30",
                              ParkPosition="10 5")
        lines = wait_for("get_pos to answer", lambda: rotctl_position(port), 20, 0.5)
        expect(lines == ["150.00", "20.00"], f"get_pos answered {lines}")

        before = len(sim.targets())
        expect(rotctl(port, "P", "200", "45")[0] == 0, "set_pos failed")
        wait_for("the SET of set_pos", lambda: ("200.00", "45.00") in [t[:2] for t in sim.targets()[before:]], 10)
        window.wait_text("l_na", "network")
        expect((window.text("l_az"), window.text("l_el")) == ("200.0", "45.0"), f"window shows {window.texts()}")
        wait_for("the rotor to arrive", lambda: rotctl_position(port) == ["200.00", "45.00"], 20, 0.5)

        expect(rotctl(port, "P", "300", "10")[0] == 0, "second set_pos failed")
        wait_for("the SET to 300", lambda: ("300.00", "10.00") in [t[:2] for t in sim.targets()], 10)
        count = len(sim.frames())
        expect(rotctl(port, "S")[0] == 0, "stop failed")
        wait_for("the STOP", lambda: "STOP" in frames_after(sim, count), 5)
        stop_at = count + frames_after(sim, count).index("STOP")
        sim.wait_states(sim.states(), 3, "three cycles after the STOP")
        expect("SET" not in frames_after(sim, stop_at), f"SET after the STOP: {frames_after(sim, stop_at)}")

        before = len(sim.targets())
        expect(rotctl(port, "K")[0] == 0, "park failed")
        wait_for("the SET to the park position", lambda: [t[:2] for t in sim.targets()[before:]][:1] ==
                 [("10.00", "5.00")], 10)
        window.wait_text("l_na", "network park")

        status, lines, _ = rotctl(port, "_")
        expect(status == 0 and lines == [INFO], f"get_info answered {status} {lines}")

        window.click("op")
        window.wait_text("s_ac", "Closed")
        status, lines, error = rotctl(port, "p")
        expect(status != 0 and "IO error" in " ".join(lines) + error,
               f"get_pos with the port closed: {status} {error[-200:]}")


def long_and_extended_forms():
    """Raw socket: the short, long and extended forms; out-of-range set points
    and unknown commands get an error code and the connection stays usable;
    dump_state tells the chosen azimuth range."""
    port = free_tcp_port()
    with Rig("network_forms") as rig:
        sim, window = started(rig, port, "--position", "100", "30", AzimuthRange="0-450")
        client = Client(port)
        wait_for("a position", client.position, 20, 0.3)
        expect(client.ask("\\get_pos", 2) == ["100.00", "30.00"], "long get_pos")
        expect(client.ask("+\\get_pos", 4) == ["get_pos:", "Azimuth: 100.00", "Elevation: 30.00", "RPRT 0"],
               "extended get_pos")
        expect(client.ask(";p", 1) == ["get_pos:;Azimuth: 100.00;Elevation: 30.00;RPRT 0"], "get_pos with ';'")
        expect(client.ask("\\dump_state", 9)[2:4] == ["min_az=0.000000", "max_az=450.000000"], "dump_state limits")
        expect(client.ask("+\\set_pos 420 12.5", 2) == ["set_pos: 420 12.5", "RPRT 0"], "extended set_pos")
        # The set point is chosen as for a tracking line (60 or 420, whichever
        # serves), in the frame's whole degrees.
        wait_for("the SET to 420", lambda: {("60.00", "12.00"), ("420.00", "12.00")} & {
            t[:2] for t in sim.targets()}, 10)
        for bad in ("P 451 10", "P 10 90.5", "P 10 -1", "P ten 10", "P 10", "\\set_pos 1 2 3"):
            expect(client.ask(bad, 1) == ["RPRT -1"], f"{bad!r} not refused")
        for unknown in ("x", "\\nothing", "M 2 50", "pp"):
            expect(client.ask(unknown, 1) == ["RPRT -4"], f"{unknown!r} not unknown")
        expect(client.ask("+S", 2) == ["stop:", "RPRT 0"], "extended stop")
        expect(client.ask("|K", 1) == ["park:|RPRT 0"], "park with '|'")
        expect(client.ask("+_", 3) == ["get_info:", f"Info: {INFO}", "RPRT 0"], "extended get_info")
        window.click("op")
        window.wait_text("s_ac", "Closed")
        expect(client.ask("p", 1) == ["RPRT -6"], "get_pos with the port closed")
        expect(client.ask("+p", 2) == ["get_pos:", "RPRT -6"], "extended get_pos with the port closed")
        client.send("q\n")
        expect(client.closed_by_server(), "q did not close the connection")


def listens_only_as_chosen():
    """Nothing listens by default; the stored port listens on 127.0.0.1 only;
    the menu switches it off and on again at once; "0.0.0.0" listens on
    every interface only when it is the stored choice."""
    port = free_tcp_port()
    with Rig("network_listening") as rig:
        rig.rotor()
        window = rig.start()
        window.wait_text("s_ac", "Opened")
        expect(listening_addresses() == [], f"listening by default: {listening_addresses()}")
        rig.stop_program()

        reg_add(SETTINGS_KEY, "NetworkPort", str(port))
        window = rig.start()
        wait_for("the port", lambda: listening_addresses(), 10)
        expect(listening_addresses() == [("127.0.0.1", port)], f"listening on {listening_addresses()}")
        window.drive("syscommand", "--id", str(NETWORK_CONTROL_ID))
        wait_for("nothing listening", lambda: listening_addresses() == [], 10)
        window.drive("syscommand", "--id", str(NETWORK_CONTROL_ID))
        wait_for("listening again", lambda: listening_addresses() == [("127.0.0.1", port)], 10)
        expect(Client(port).ask("p", 1), "no answer after switching on again")
        window.drive("syscommand", "--id", str(NETWORK_CONTROL_ID))
        rig.stop_program()
        expect(reg_query(SETTINGS_KEY, "NetworkPort") == ("REG_SZ", "0"), "switched off, not stored as off")

        reg_add(SETTINGS_KEY, "NetworkPort", str(port))
        reg_add(SETTINGS_KEY, "NetworkAddress", "0.0.0.0")
        rig.start()
        wait_for("every interface", lambda: listening_addresses() == [("0.0.0.0", port)], 10)


def port_in_use():
    """The stored port is taken by another program: one clear message, and the
    program runs on without network control; once the port is free, the
    menu switches it on."""
    port = free_tcp_port()
    holder = socket.socket()
    holder.bind(("127.0.0.1", port))
    holder.listen()
    with Rig("network_port_in_use") as rig:
        reg_add(SETTINGS_KEY, "NetworkPort", str(port))
        sim = rig.rotor()
        window = rig.start()
        lines = wait_for("the error dialog", lambda: rig.window_lines("Gyrotalk"), 15)
        expect(len(lines) == 1, f"dialogs: {lines}")
        texts = windriver("list", "--caption", "Gyrotalk").stdout
        expect(f"cannot listen on 127.0.0.1:{port}: the port is in use" in texts, f"the message: {texts}")
        rig.dismiss_dialogs("Gyrotalk")
        window.wait_text("s_ac", "Opened")
        states = sim.states()
        sim.wait_states(states, 2, "the cycle going on")
        holder.close()
        window.drive("syscommand", "--id", str(NETWORK_CONTROL_ID))  # off
        window.drive("syscommand", "--id", str(NETWORK_CONTROL_ID))  # on again
        wait_for("an answer", lambda: served(port), 10, 0.5)
        expect(not rig.window_lines("Gyrotalk"), "a second dialog")


def hostile_clients():
    """Sixteen clients are served and a seventeenth is refused cleanly; a line
    over 1 KiB is answered with an error and dropped; binary garbage, clients
    that vanish mid-line and a client that never reads (dropped once its
    answers pile up) stop neither the window, the cycle nor the others."""
    port = free_tcp_port()
    with Rig("network_hostile") as rig:
        sim, window = started(rig, port)
        clients = [Client(port) for _ in range(16)]
        wait_for("a position", clients[3].position, 20, 0.3)
        for client in clients:
            expect(client.ask("_", 1) == [INFO], "one of 16 clients not served")
        extra = Client(port)
        expect(extra.closed_by_server(), "a 17th client was kept")
        clients.pop().close()
        wait_for("room for a new client", lambda: served(port), 10, 0.5)

        polling = clients[0]
        polling.send("x" * 3000)
        expect(polling.line() == "RPRT -8", "an over-long line not refused")
        expect(polling.ask("\n_", 1) == [INFO], "no answer after an over-long line")
        junk = random.Random(18)
        # No printable byte but blanks: no line of it can be a command.
        unprintable = [b for b in range(256) if not 0x21 <= b <= 0x7E]
        clients[1].send(bytes(junk.choice(unprintable) for _ in range(20000)) + b"\n_\n")
        answers = []
        while not answers or answers[-1] != INFO:
            answers.append(clients[1].line())
        expect(set(answers[:-1]) <= {"RPRT -4", "RPRT -8"}, f"garbage answered {set(answers[:-1])}")
        for _ in range(30):  # vanish mid-line, some with a reset
            gone = socket.create_connection(("127.0.0.1", port))
            gone.sendall(b"P 33 3")
            if junk.random() < 0.5:
                gone.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
            gone.close()

        deaf = clients[2]
        deaf.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        flood = b"\\dump_state\n" * 60000
        states = sim.states()
        deaf.socket.settimeout(20)
        try:
            deaf.socket.sendall(flood)
        except OSError:
            pass  # dropped while it was still sending
        other = clients[3]
        for _ in range(20):
            answer = other.ask("p", 1)[0]
            expect(not answer.startswith("RPRT") and other.line(), f"another client answered {answer}")
            time.sleep(0.1)
        expect(deaf.closed_by_server(), "a client that never reads was not dropped")
        sim.wait_states(states, 2, "the cycle going on")
        expect(window.text("s_ac") == "Opened", "the window")
        expect("33.0" != window.text("l_az"), "a half line was taken as set_pos")
        expect(all(c.ask("_", 1) == [INFO] for c in clients[4:]), "the other clients")


def resets_and_a_lone_target():
    """Unattended, no tracking program: a target stands through the tries to
    reach one (its SET goes out, the window keeps it), and 32 clients that
    connect and reset at once leave every slot free for the next client."""
    port = free_tcp_port()
    with Rig("network_resets") as rig:
        sim, window = started(rig, port, Unattended="1")
        expect(Client(port).ask("P 90 50", 1) == ["RPRT 0"], "set_pos refused")
        for number in range(32):  # half of them after an answer, half before their first read
            reset = Client(port)
            if number % 2:
                reset.ask("_", 1)
            reset.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            reset.close()
        wait_for("a new client served", lambda: served(port), 10, 0.5)
        sim.wait_frames("the SET of set_pos", lambda f: ("90.00", "50.00") in [t[:2] for t in sim.targets()], 10)
        time.sleep(max(0, rig.started_at + 2 * RECOVERY_S - time.monotonic()))  # two tries to reach a tracking program
        expect((window.text("l_na"), window.text("l_az")) == ("network", "90.0"), f"the target: {window.texts()}")


def bad_address_at_start():
    """A stored address that is none of this computer's (attended): its
    message shows, but the port opens and the cycle runs while it is up, and
    Exit ends the program with the message still up."""
    port = free_tcp_port()
    with Rig("network_bad_address") as rig:
        reg_add(SETTINGS_KEY, "NetworkPort", str(port))
        reg_add(SETTINGS_KEY, "NetworkAddress", "192.0.2.1")  # a documentation address: nobody's
        sim = rig.rotor()
        window = rig.start()
        wait_for("the error dialog", lambda: rig.window_lines("Gyrotalk"), 15)
        sim.wait_states(0, 2, "two STATE frames", 10)
        first = [t for t, kind, _ in sim.frames() if kind == "STATE"][0] - rig.started_at
        expect(first <= 3, f"the first STATE {first:.1f} s after the start")
        expect(rig.window_lines("Gyrotalk"), "the message is no longer up")
        window.click("Exit")
        try:
            rig.program.wait(10)
        except subprocess.TimeoutExpired:
            raise Failure("Exit did not end the program with the message up") from None


if __name__ == "__main__":
    run_scenario([rotctl_drives_the_rotor, long_and_extended_forms, listens_only_as_chosen, port_in_use,
                  hostile_clients, resets_and_a_lone_target, bad_address_at_start])
