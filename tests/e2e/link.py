"""The line to the rotor: python3 link.py SCENARIO (CTest runs each one).
The controller on the network (the rotator simulator on a loopback TCP
port, "RotorAddress"), its line speed, and exchanges that start clean
whatever the controller left on the line."""
import socket
import threading
import time

from e2e import ISS, expect, started
from rig import PORT, SETTINGS_KEY, Rig, answer_dialog, free_tcp_port, reg_add, reg_query, run_scenario, wait_for
from unattended import no_dialog, station

ROTOR_ADDRESS_ID = 0x320  # the system menu's "Rotor on the network..."
BAUD_600_ID, BAUD_9600_ID = 0x400, 0x440  # its "Line speed" items 600 and 9600
SEQ_FAST = "G-500, S-1000"
DIALOG = "Rotor on the network"
STATE = "57 00 00 00 00 00 00 00 00 00 00 1F 20"
STOP = "57 00 00 00 00 00 00 00 00 00 00 0F 20"
SET_ISS = "57 30 34 38 33 00 30 33 37 30 00 2F 20"  # 123.4 and 10.5, divider 1: 483 and 370


def error_dialogs(rig):
    return rig.window_lines("Gyrotalk")


def on_the_network(rig, tcp_port):
    """The rotor simulator on the port, the address stored, the program running with it."""
    sim = rig.tcp_rotor(tcp_port)
    reg_add(SETTINGS_KEY, "RotorAddress", f"127.0.0.1:{tcp_port}")
    rig.zenitrak("--line", ISS)
    window = rig.start()
    window.wait_text("s_ac", "Opened")
    return sim, window


def silent_address():
    """A loopback port that takes no connection and refuses none: the one
    place in its queue is taken. Keep both sockets while it is needed."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    return listener, socket.create_connection(listener.getsockname())


def gone_and_opened_again(rig, window, rotor, start_again):
    """The rotor on the network stopped: "Closed" and one message, however
    long one looks; started again and the port opened by hand. The rotor
    started again is returned."""
    rotor.stop()
    window.wait_text("s_ac", "Closed", 10)
    wait_for("the message", lambda: error_dialogs(rig), 10)
    looks_answered(window, 3)
    expect(len(error_dialogs(rig)) == 1, f"messages: {error_dialogs(rig)}")
    back = start_again()
    rig.dismiss_dialogs("Gyrotalk")
    if window.text("s_ac") != "Opened":
        window.click("op")  # released: the attempt, if any, ends
        window.click("op")
    window.wait_text("s_ac", "Opened", 15)
    return back


def looks_answered(window, seconds):
    """Reads the window for a while; each look must be answered within 1 s."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        window.drive("list", "--timeout", "1000")


def shown_text(reply_hex):
    """What the window shows of a reply: (azimuth, elevation) as s_az and s_el have them."""
    b = [int(x, 16) for x in reply_hex.split()]
    azimuth = b[1] * 100 + b[2] * 10 + b[3] + b[4] / 10
    azimuth = azimuth if azimuth < 360 else azimuth - 720 if azimuth >= 720 else azimuth - 360
    elevation = b[6] * 100 + b[7] * 10 + b[8] + b[9] / 10 - 360
    return f"{azimuth:.1f}", f"{elevation:.1f}"


class Shown(threading.Thread):
    """Every rotor position the window shows, looked at three times a second.
    A look reads one label after the other, so one that straddles a new reply
    can pair the new azimuth with the old elevation: a position counts once
    two looks in a row read it (the window keeps each for a whole cycle)."""

    def __init__(self, window):
        super().__init__(daemon=True)
        self.window, self.running, self.seen = window, True, set()
        self.start()

    def run(self):
        last = None
        while self.running:
            texts = self.window.texts()
            now = (texts["s_az"], texts["s_el"])
            if now == last:
                self.seen.add(now)
            last = now
            time.sleep(0.3)

    def stop(self):
        self.running = False
        self.join(10)
        return self.seen


def log_lines(sim, after_ms=0):
    """(ms, words) of every line of the simulator's log after a moment."""
    with open(sim.log_path) as log:
        lines = [line.split() for line in log]
    return [(float(words[0]), words[1:]) for words in lines if float(words[0]) > after_ms]


# --- scenarios ---------------------------------------------------------------

def network_link():
    """The frames over TCP byte for byte as on a COM port, the address shown
    where the port is; the simulator gone: one message and "Closed"; back and
    opened again: the cycle runs; STOP last at Exit."""
    tcp_port = free_tcp_port()
    with Rig("network_link") as rig:
        sim, window = on_the_network(rig, tcp_port)
        expect(window.text("CPP") == f"127.0.0.1:{tcp_port}", f"the port selector shows {window.text('CPP')!r}")
        sim.wait_frames("STATE and SET", lambda f: {"STATE", "SET"} <= {k for _, k, _ in f})
        window.wait_text("s_dv", "1")
        frames = sim.frames()
        expect({b for _, k, b in frames if k == "STATE"} == {STATE}, f"STATE frames: {frames}")
        expect([b for _, k, b in frames if k == "SET"] == [SET_ISS], f"SET frames: {frames}")
        back = gone_and_opened_again(rig, window, sim, lambda: rig.tcp_rotor(tcp_port))
        back.wait_frames("STATE and SET again", lambda f: {"STATE", "SET"} <= {k for _, k, _ in f})
        rig.stop_program()
        expect(back.frames()[-1][2] == STOP, f"last frame {back.frames()[-1]}")
        expect(back.connections()[-1] == "disconnected", "the connection stayed open after Exit")


def network_link_unattended():
    """Unattended, the simulator gone and back: "Closed" and no dialog; within
    15 s of its return connected again, and a SET follows."""
    tcp_port = free_tcp_port()
    with station("network_link_unattended") as rig:
        sim, window = on_the_network(rig, tcp_port)
        sim.wait_frames("a SET", lambda f: "SET" in [k for _, k, _ in f])
        sim.stop()
        window.wait_text("s_ac", "Closed", 10)
        time.sleep(6)  # a try or two while it is away
        no_dialog(rig)
        back = rig.tcp_rotor(tcp_port)
        back.wait_frames("STATE and SET", lambda f: {"STATE", "SET"} <= {k for _, k, _ in f}, 15)
        window.wait_text("s_ac", "Opened")
        no_dialog(rig)


def network_address_chosen():
    """Typed in the dialog: an address that never answers, then one where
    nothing listens; the window answers every look within 1 s, shows
    "Closed" and no more than one message. An empty address brings the COM
    port back, and it is what is stored at Exit."""
    listener, filler = silent_address()
    silent = "127.0.0.1:%d" % listener.getsockname()[1]
    with Rig("network_address_chosen") as rig:
        sim, window = started(rig, "--paused")
        answer_dialog(ROTOR_ADDRESS_ID, DIALOG, silent)
        expect(window.text("CPP") == silent, f"the port selector shows {window.text('CPP')!r}")
        window.wait_text("s_ac", "Closed")
        looks_answered(window, 7)  # beyond the time an attempt to connect is given
        answer_dialog(ROTOR_ADDRESS_ID, DIALOG, f"127.0.0.1:{free_tcp_port()}")
        looks_answered(window, 2)
        expect(window.text("s_ac") == "Closed", f"port status {window.text('s_ac')!r}")
        expect(len(error_dialogs(rig)) <= 1, f"messages: {error_dialogs(rig)}")
        count = len(sim.frames())
        answer_dialog(ROTOR_ADDRESS_ID, DIALOG, "")
        expect(window.text("CPP") == sim.port, f"the port selector shows {window.text('CPP')!r}")
        if window.text("s_ac") != "Opened":
            window.click("op")
        window.wait_text("s_ac", "Opened")
        sim.wait_frames("STATE on the COM port again", lambda f: len(f) > count)
        rig.stop_program()
        expect(reg_query(SETTINGS_KEY, "RotorAddress") == ("REG_SZ", ""), "RotorAddress not emptied")
        expect(reg_query(SETTINGS_KEY, "ComPort") == ("REG_SZ", sim.port), "ComPort not kept")
    listener.close()
    filler.close()


def line_speed():
    """"BaudRate" 9600: the simulator reads 9600 off its terminal and the cycle
    runs with a controller at 9600; the menu's 600 reaches the open port
    before its next frame (which the controller cannot read: "Transmission
    error"), and 9600 again brings the replies back. Stored at Exit."""
    with Rig("line_speed") as rig:
        reg_add(SETTINGS_KEY, "BaudRate", "9600")
        sim = rig.rotor(PORT, "--baud", "9600", "--pace")
        rig.zenitrak("--line", ISS)
        window = rig.start()
        window.wait_text("s_dv", "1")
        speeds = [words[1] for _, words in log_lines(sim) if words[0] == "speed"]
        expect(speeds == ["9600"], f"line speeds: {speeds}")
        picked = time.monotonic() * 1000
        window.drive("syscommand", "--id", str(BAUD_600_ID))
        window.wait_visible("s_te", True, 10)
        # A frame already on its way when the pick was made is still read at 9600.
        after = [words[:2] for _, words in log_lines(sim, picked) if words[0] in ("rx", "speed")]
        changed = after.index(["speed", "600"]) if ["speed", "600"] in after else len(after)
        expect(after[changed + 1:changed + 2] == [["rx", "garbage"]], f"after the pick: {after}")
        window.drive("syscommand", "--id", str(BAUD_9600_ID))
        window.wait_visible("s_te", False, 10)
        rig.stop_program()
        expect(reg_query(SETTINGS_KEY, "BaudRate") == ("REG_SZ", "9600"), "BaudRate not stored")


def answers_to_set():
    """A controller that answers SET at once, then 700 ms late (the answer
    straddles the next STATE on a 600-baud line), a reply that stalls after
    5 bytes, and 12 bytes that are no reply: the window never shows a position
    the simulator did not send, shows the error, and shows the true position
    again at the next good reply. The line stays at 600 baud."""
    with Rig("answers_to_set") as rig:
        reg_add(SETTINGS_KEY, "ComSeq", SEQ_FAST)
        sim = rig.rotor(PORT, "--pace", "--answer-set", "0")
        rig.zenitrak()  # a pass: the target moves, a SET every cycle
        window = rig.start()
        window.wait_text("s_dv", "1")
        shown = Shown(window)
        for faults, error in ((["answer-set 700"], False), (["answer-set off", "fault stall 5"], True),
                              (["fault none", "fault scrambled"], True), (["fault none"], False)):
            for line in faults:
                sim.command(line)
            sim.wait_states(sim.states(), 3, f"three cycles with {faults}", 15)
            expect(window.visible("s_te") == error, f"error label with {faults}")
        seen = shown.stop()
        sent = {shown_text(b) for _, k, b in sim.frames("tx") if len(b.split()) == 12 and b.startswith("57")}
        expect(seen - {("?", "?")} <= sent, f"shown but never sent: {seen - sent - {('?', '?')}}")
        last = [b for _, k, b in sim.frames("tx") if k == "STATE"][-1]
        window.wait_text("s_az", shown_text(last)[0], 5)
        speeds = {words[1] for _, words in log_lines(sim) if words[0] == "speed"}
        expect(speeds == {"600"}, f"line speeds: {speeds}")


if __name__ == "__main__":
    run_scenario([network_link, network_link_unattended, network_address_chosen, line_speed, answers_to_set])
