"""Any rotator Hamlib knows: python3 rotctld.py SCENARIO (CTest runs each
one). "RotorAddress" rotctld://HOST:PORT drives Hamlib's rotator daemon
(rotctld -m 1, its dummy rotator) on a loopback port; Hamlib's own client
(rotctl -m 2) reads where the rotor went."""
import socket
import time

from e2e import SEQ_FAST, expect
from link import gone_and_opened_again
from rig import SETTINGS_KEY, Rig, free_tcp_port, reg_add, run_scenario, wait_for
from unattended import log_lines, no_dialog, station, wait_logged


def line(azimuth, elevation):
    return f'SN"AO-7" AZ{azimuth} EL{elevation} UP145850000 DN29450000 UMUSB DMUSB'


def on_the_daemon(rig, tcp_port, *daemon, **settings):
    """The daemon on the port (model and options as given), the address
    stored, the program running with a tracking line at 20 10."""
    sim = rig.rotctld(tcp_port, *daemon)
    reg_add(SETTINGS_KEY, "RotorAddress", f"rotctld://127.0.0.1:{tcp_port}")
    reg_add(SETTINGS_KEY, "ComSeq", SEQ_FAST)
    for name, value in settings.items():
        reg_add(SETTINGS_KEY, name, value)
    rig.zenitrak("--line", line(20, 10))
    return sim, rig.start()


def shows(window, position):
    """The window's rotor labels read the position, within a tenth."""
    texts = window.texts()
    return abs(float(texts["s_az"]) - position[0]) <= 0.1 and abs(float(texts["s_el"]) - position[1]) <= 0.1


# --- scenarios ---------------------------------------------------------------

def daemon_drives_the_rotor():
    """The tracking line's target reached by the daemon's rotor, the window
    showing where it stands and no divider; a new target followed; the
    daemon killed: one message and "Closed"; started again and the port
    opened by hand: STOP last at Exit."""
    tcp_port = free_tcp_port()
    with Rig("daemon_drives_the_rotor") as rig:
        daemon, window = on_the_daemon(rig, tcp_port)
        window.wait_text("s_ac", "Opened")
        expect(window.text("CPP") == f"rotctld://127.0.0.1:{tcp_port}", f"the selector shows {window.text('CPP')!r}")
        reached = daemon.wait_position(20, 10)
        wait_for("the labels to show the daemon's position", lambda: shows(window, daemon.position()), 10, 0.5)
        expect(window.text("s_dv") == "-", f"divider {window.text('s_dv')!r}")
        expect(not window.visible("s_te"), "a transmission error is shown")
        rig.tracking.send(f"line {line(30, 15)}")
        daemon.wait_position(30, 15)
        expect("set_position 30.00 15.00" in daemon.calls(), f"the daemon's calls {daemon.calls()}")
        back = gone_and_opened_again(rig, window, daemon, lambda: rig.rotctld(tcp_port))
        wait_for("a SET to the daemon back", lambda: any(c.startswith("set_position") for c in back.calls()), 10)
        rig.stop_program()
        expect(back.calls()[-1] == "stop", f"the daemon's last calls {back.calls()[-3:]}")
        print(f"reached {reached}")


def daemon_refuses_and_returns():
    """Unattended: a daemon that will not start (an unknown model) is a port
    not open, tried again quietly; the daemon there at last, tracking starts
    without a click. A set point asked by a network client that the daemon
    refuses (its limits narrowed after Gyrotalk asked them): the error shown
    once, no dialog, the cycle going on. The daemon killed and started
    again: tracking resumes within 15 s."""
    tcp_port, network_port = free_tcp_port(), free_tcp_port()
    with station("daemon_refuses_and_returns") as rig:
        unknown, window = on_the_daemon(rig, tcp_port, "9999", NetworkPort=str(network_port))
        wait_logged(f"port rotctld://127.0.0.1:{tcp_port} not open")
        expect(unknown.process.poll() is not None, "rotctld started with an unknown model")
        daemon = rig.rotctld(tcp_port)
        window.wait_text("s_ac", "Opened", 15)
        daemon.wait_position(20, 10)
        wait_logged("accepts azimuth -180 to 450, elevation 0 to 90")

        expect(daemon.ask("C max_el 45") == "RPRT 0", "the daemon's limits were not narrowed")
        with socket.create_connection(("127.0.0.1", network_port), timeout=5) as client:
            client.sendall(b"P 100 60\n")
            expect(client.makefile().readline().strip() == "RPRT 0", "the network client's set point refused")
        window.wait_visible("s_te", True, 10)
        refused = len(daemon.calls())
        wait_for("two more refusals", lambda: daemon.calls()[refused:].count("set_position 100.00 60.00") >= 2, 15)
        expect(window.visible("s_te"), "the error was hidden while the daemon refuses")
        refusals = [text for text in log_lines() if "RPRT -1" in text]
        expect(len(refusals) == 1, f"the refusal logged {refusals}")
        no_dialog(rig)

        daemon.stop()
        window.wait_text("s_ac", "Closed", 10)
        time.sleep(2)
        back = rig.rotctld(tcp_port)
        returned = time.monotonic()
        wait_for("the set point again", lambda: "set_position 100.00 60.00" in back.calls(), 15)
        window.wait_text("s_ac", "Opened", 1)
        print(f"tracking again {time.monotonic() - returned:.1f} s after the daemon's return")
        window.wait_visible("s_te", False, 5)
        no_dialog(rig)
        lines = log_lines()
        expect(any("lost" in text for text in lines), f"the loss not logged: {lines}")


if __name__ == "__main__":
    run_scenario([daemon_drives_the_rotor, daemon_refuses_and_returns])
