#!/usr/bin/env python3
"""Soak run: kaldo-utility (a real process, on a private Xvfb display or offscreen) and kaldo-ctl
against kaldo-sim while the link's faults change at random, for a chosen time. Reports crashes,
hangs, the utility's resident memory and open descriptors at start and end, and writes that were
lost unreported.

    bench/soak.py --minutes 30 [--seed N] [--build build/default] [--gdb] [--keep]

It re-runs itself in a private network namespace (unshare -n, as root) so that the companion
port is its own, and keeps records and state in a fresh directory. See docs/soak.md for what
it does and what counts as a hang. Exit status 0 when nothing was found, 1 otherwise.
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from collections import Counter
from pathlib import Path

# The longest wait documented to block the utility's UI thread: the companion reply's send
# time-out (3.0 s; a read-back waits 1000 ms at most, the version request 200 ms, a reboot
# 1000 ms; pages are read without blocking).
HANG_MS = 3000
PROBE_INTERVAL_S = 0.5
# kaldo-ctl's exit codes (docs/kaldo-ctl.md); anything else, or a signal, is a crash.
CTL_CODES = set(range(0, 9))
CTL_TIMEOUT_S = 120
# Execute identifiers and movement speeds: the dial leaves them alone (a press could reset or
# reboot the switcher, a speed keeps moving a layer).
DIAL_EXCLUDED = {132, 133, 173, 174, 178, 187, 188, 189, 197, 198, 199,
                 206, 207, 208, 209, 998, 999, 1000}
# Settings that kaldo-ctl writes and tracks: numbers that no companion event changes.
TRACKED = [102, 103, 113, 120, 121, 123, 141, 151, 160, 222, 301, 412, 414, 441, 502, 603]
# Companion events besides the dial (docs/remote-control.md).
EVENTS = [
    "KeyDown:sw:MIX", "KeyDown:sw:CUT", "KeyDown:sw:WIPE", "KeyDown:sw:[1]", "KeyDown:sw:[2]",
    "KeyDown:call:ROI3:[1]", "KeyDown:call:ROI5:[2]", "KeyDown:src:Next:[1]",
    "KeyDown:src:Prev:[2]", "KeyDown:time:Inc 1sec:ROI", "KeyDown:time:Dec 1sec:Fade",
    "KeyDown:rtime:10sec:0.5sec", "KeyDown:move:Center:Fast:[1]", "KeyDown:move:Full:Fast:[2]",
    "KeyDown:pinp:1:40:10:-10:50:50:5:255:0:0", "KeyDown:split:0:50:1:0:0:3:0:255:0",
    "KeyDown:alpha:2:80:50:-30:90", "KeyDown:save", "KeyUp:save", "Touch:enc:1:210:0:0",
]


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    length = parser.add_mutually_exclusive_group()
    length.add_argument("--minutes", type=float)
    length.add_argument("--seconds", type=float)
    parser.add_argument("--seed", type=int, help="random seed (default: from the time, printed)")
    parser.add_argument("--build", default="build/default", help="build directory")
    parser.add_argument("--port", type=int, default=42614, help="companion port (replies on +1)")
    parser.add_argument("--screen", choices=["xvfb", "offscreen"],
                        default="xvfb" if shutil.which("Xvfb") and shutil.which("xdotool")
                        else "offscreen",
                        help="where the window shows: xvfb (driven with xdotool) or offscreen "
                             "(companion events only); default xvfb when installed")
    parser.add_argument("--gdb", action="store_true",
                        help="run the utility under gdb, which writes a backtrace of a crash "
                             "into its log (implies --keep)")
    parser.add_argument("--keep", action="store_true", help="keep the work directory and logs")
    args = parser.parse_args()
    args.keep = args.keep or args.gdb
    args.duration = args.seconds if args.seconds else 60 * (args.minutes or 5)
    if args.seed is None:
        args.seed = int(time.time()) % 100000
    return args


def in_private_netns(argv):
    """Runs this script again inside unshare -n with the loopback up; returns its status."""
    if os.environ.get("KALDO_SOAK_NETNS"):
        return None
    env = dict(os.environ, KALDO_SOAK_NETNS="1")
    script = 'ip link set lo up && exec "$@"'
    return subprocess.call(["unshare", "-n", "sh", "-c", script, "sh", sys.executable] + argv,
                           env=env)


def proc_figures(pid):
    """Resident memory in kB and the number of open descriptors, or None when gone."""
    try:
        with open(f"/proc/{pid}/status") as status:
            rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
        return rss, len(os.listdir(f"/proc/{pid}/fd"))
    except (OSError, StopIteration):
        return None


def exit_text(code):
    return f"signal {-code}" if code < 0 else f"exit {code}"


class Report:
    """What went wrong, with the time into the run, and the counters printed at the end."""

    def __init__(self):
        self.start = time.monotonic()
        self.lock = threading.Lock()
        self.crashes = []
        self.hangs = []
        self.lost = []
        self.notes = []
        self.counts = Counter()

    def stamp(self):
        return f"{time.monotonic() - self.start:7.1f}s"

    def add(self, kind, text):
        with self.lock:
            getattr(self, kind).append(f"{self.stamp()} {text}")
        label = {"crashes": "crash", "hangs": "hang", "lost": "lost write", "notes": "note"}
        print(f"soak: {label[kind]}: {text}", flush=True)

    def count(self, key):
        with self.lock:
            self.counts[key] += 1


class Sim:
    """One kaldo-sim with its own record directory and state file; restarted with new faults."""

    def __init__(self, exe, work, name, serial, report):
        self.exe, self.report, self.name, self.serial = exe, report, name, serial
        self.devices = work / f"{name}-devices"
        self.state = work / f"{name}-state.json"
        self.log = open(work / f"{name}.log", "ab")
        self.proc = None
        self.faults = []
        self.env = dict(os.environ, KALDO_DEVICE_DIR=str(self.devices))

    def start(self, faults):
        self.faults = faults
        self.log.write(f"--- start {' '.join(faults)}\n".encode())
        self.log.flush()
        self.proc = subprocess.Popen(
            [self.exe, "--serial", self.serial, "--state", str(self.state)] + faults,
            stdout=self.log, stderr=self.log, env=self.env)
        end = time.monotonic() + 10
        while not any(self.devices.glob("*.dev")):
            if time.monotonic() > end or self.proc.poll() is not None:
                self.report.add("notes", f"kaldo-sim {self.name} published no record")
                return
            time.sleep(0.05)

    def check_exit(self, expected_end):
        """A sim that left: fine after a disconnect or our SIGTERM, a crash otherwise."""
        code = self.proc.poll()
        if code is None:
            return False
        if code != 0 and not (expected_end and code == -signal.SIGTERM):
            self.report.add("crashes", f"kaldo-sim {self.name} ({' '.join(self.faults)}): "
                                       f"{exit_text(code)}")
        return True

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.report.add("hangs", f"kaldo-sim {self.name} did not leave on SIGTERM")
                self.proc.kill()
                self.proc.wait()
        if self.proc:
            self.check_exit(True)


class Companion:
    """The companion link as the control-surface plug-in uses it: events from a socket kept open,
    dial replies on port + 1. The probe measures how long the UI thread takes to read a datagram
    (the utility's socket's receive queue in /proc/net/udp drains), independent of the switcher."""

    def __init__(self, port, report):
        self.port, self.report = port, report
        self.send_socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.send_socket.bind(("127.0.0.1", 0))
        self.reply_socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.reply_socket.bind(("127.0.0.1", port + 1))
        self.probe_socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.probe_socket.bind(("127.0.0.1", 0))
        self.latencies = []

    def receive_queue(self):
        """Bytes waiting in the utility's event socket, or None when nothing listens."""
        wanted = f"0100007F:{self.port:04X}"
        with open("/proc/net/udp") as table:
            for line in table:
                columns = line.split()
                if len(columns) > 4 and columns[1] == wanted:
                    return int(columns[4].split(":")[1], 16)
        return None

    def probe(self, context):
        """Sends an ignored text and waits until the utility has read it; returns milliseconds,
        or None when the utility has no socket (it is starting)."""
        if self.receive_queue() is None:
            return None
        start = time.monotonic()
        self.probe_socket.sendto(b"Probe", ("127.0.0.1", self.port))
        reported = False
        while True:
            waited = (time.monotonic() - start) * 1000
            queue = self.receive_queue()
            if not queue:
                break
            if waited > HANG_MS and not reported:
                self.report.add("hangs", f"the UI thread has not read a datagram for "
                                         f"{HANG_MS} ms ({context()})")
                reported = True
            time.sleep(0.002)
        self.latencies.append(waited)
        return waited

    def dial(self, text, wait_s=4.0):
        """Sends a dial event and returns its reply line, or None when none came."""
        self.reply_socket.setblocking(False)
        try:
            while self.reply_socket.recv(512):
                pass
        except BlockingIOError:
            pass
        self.reply_socket.setblocking(True)
        self.send_socket.sendto(text.encode(), ("127.0.0.1", self.port))
        self.reply_socket.settimeout(wait_s)
        try:
            return self.reply_socket.recv(512).decode(errors="replace")
        except socket.timeout:
            return None


class Screen:
    """The utility's window on a private Xvfb display, driven with xdotool as a user would: a
    click on a leaf of the menu tree switches the page, clicks on the steppers and pop-ups of
    the page and the mouse wheel over them edit its widgets. Offscreen takes no input from
    outside, so there the window is left alone."""

    # Window coordinates of the default 960 x 640 window (no window manager: it stays there).
    TREE_X, TREE_TOP, TREE_BOTTOM = 100, 225, 565
    WIDGET_X, WIDGET_ARROWS_X, FIRST_ROW_Y, ROW_STEP, ROWS = 513, 507, 104, 40, 11

    def __init__(self, kind, rng, report):
        self.kind, self.random, self.report = kind, rng, report
        self.server = None
        self.env = {"QT_QPA_PLATFORM": "offscreen"}
        self.window = None
        if kind == "xvfb":
            read_end, write_end = os.pipe()
            self.server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
                 "1024x700x24"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
            os.close(write_end)
            with os.fdopen(read_end) as display:
                number = display.readline().strip()
            self.env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": f":{number}"}

    def find_window(self, pid):
        if self.kind != "xvfb":
            return
        for _ in range(100):
            found = subprocess.run(["xdotool", "search", "--pid", str(pid)],
                                   capture_output=True, env=dict(os.environ, **self.env))
            if found.stdout.split():
                self.window = found.stdout.split()[-1].decode()
                return
            time.sleep(0.2)
        self.report.add("notes", "the utility's window did not appear on the Xvfb display")

    def xdotool(self, *arguments):
        done = subprocess.run(["xdotool"] + [str(a) for a in arguments],
                              capture_output=True, env=dict(os.environ, **self.env), timeout=30)
        if done.returncode != 0:
            self.report.count("xdotool failures")

    def switch_page(self):
        if not self.window:
            return
        self.xdotool("mousemove", "--window", self.window, self.TREE_X, 390, "click",
                     "--repeat", self.random.randint(1, 4), self.random.choice([4, 5]))
        self.xdotool("mousemove", "--window", self.window, self.TREE_X,
                     self.random.randint(self.TREE_TOP, self.TREE_BOTTOM), "click", 1)
        self.report.count("page switches")

    def edit_widget(self):
        if not self.window:
            return
        y = self.FIRST_ROW_Y + self.ROW_STEP * self.random.randrange(self.ROWS)
        if self.random.random() < 0.5:
            self.xdotool("mousemove", "--window", self.window, self.WIDGET_X, y,
                         "click", self.random.choice([4, 5]))
        else:
            # A stepper arrow, or a pop-up or button there; Escape closes whatever opened.
            self.xdotool("mousemove", "--window", self.window, self.WIDGET_ARROWS_X,
                         y + self.random.choice([-5, 5]), "click", 1)
            time.sleep(0.3)
            self.xdotool("key", "Escape")
        self.report.count("widget edits")

    def stop(self):
        if self.server and self.server.poll() is None:
            self.server.terminate()
            self.server.wait()


class Soak:
    def __init__(self, args, work):
        build = Path(args.build).resolve()
        self.utility_exe = build / "src_ui/kaldo-utility"
        self.ctl_exe = build / "tools/kaldo-ctl/kaldo-ctl"
        sim_exe = build / "tools/kaldo-sim/kaldo-sim"
        # The switcher's own ranges, from the source tree's data file the sim loads.
        factory = json.loads((Path(__file__).resolve().parent.parent /
                              "tools/kaldo-sim/factory.json").read_text())
        self.ranges = {}
        for entry in factory["parameters"]:
            for k in range(entry.get("count", 1)):
                if "min" in entry:
                    self.ranges[entry["id"] + k * entry.get("stride", 1)] = (entry["min"],
                                                                             entry["max"])
        self.args, self.work = args, work
        self.random = random.Random(args.seed)
        self.report = Report()
        # The utility's switcher and kaldo-ctl's: the serial link is exclusive, so the utility
        # would keep kaldo-ctl out of a shared one (exit code 8, tried now and then).
        self.ui_sim = Sim(str(sim_exe), work, "ui-sim", "K1SOAK0001", self.report)
        self.ctl_sim = Sim(str(sim_exe), work, "ctl-sim", "K1SOAK0002", self.report)
        self.companion = Companion(args.port, self.report)
        self.utility = None
        self.utility_pid = None
        self.utility_ended = False
        self.utility_restarts = 0
        self.utility_log_start = 0
        self.utility_log = open(work / "kaldo-utility.log", "ab")
        self.ctl_log = open(work / "kaldo-ctl.log", "ab")
        self.expected = {}  # id -> values a read-back may show (the last confirmed, or the
        # values of writes after it that were not confirmed)
        self.dial_ids = []
        self.last_action = "start"
        self.running = True
        self.fault_kinds = Counter()
        self.screen = Screen(args.screen, self.random, self.report)

    # --- processes -----------------------------------------------------------------------

    def start_utility(self):
        self.utility_ended = False
        self.utility_log.flush()
        self.utility_log_start = os.fstat(self.utility_log.fileno()).st_size
        self.screen.window = None
        env = dict(os.environ, KALDO_DEVICE_DIR=str(self.ui_sim.devices),
                   XDG_RUNTIME_DIR=str(self.work), **self.screen.env)
        command = [str(self.utility_exe), "--companion-port", str(self.args.port)]
        if self.args.gdb:
            command = ["gdb", "-q", "-batch", "-ex", "run", "-ex", "bt", "--args"] + command
        self.utility = subprocess.Popen(command, stdout=self.utility_log,
                                        stderr=self.utility_log, env=env)
        self.utility_pid = self.utility.pid
        while self.args.gdb and self.utility.poll() is None:
            children = Path(f"/proc/{self.utility.pid}/task/{self.utility.pid}/children")
            if children.read_text().split():
                self.utility_pid = int(children.read_text().split()[0])
                break
            time.sleep(0.1)
        self.screen.find_window(self.utility_pid)

    def utility_alive(self):
        code = self.utility.poll()
        if code is not None and not self.utility_ended:
            self.utility_ended = True
            how = (f"{self.gdb_signal() or 'no signal'} (backtrace in its log)"
                   if self.args.gdb else exit_text(code))
            self.report.add("crashes", f"kaldo-utility ended by itself: {how} "
                                       f"(last action: {self.last_action})")
        return code is None

    def gdb_signal(self):
        """The signal gdb caught in the utility since it started, other than our SIGTERM."""
        self.utility_log.flush()
        with open(self.work / "kaldo-utility.log", "rb") as log_file:
            log_file.seek(self.utility_log_start)
            log = log_file.read().decode(errors="replace")
        caught = re.findall(r"received signal (SIG\w+)", log)
        return next((name for name in caught if name != "SIGTERM"), None)

    def ctl(self, *arguments, sim=None):
        """Runs kaldo-ctl against a sim; returns (code, stdout). Crashes and hangs are noted."""
        sim = sim or self.ctl_sim
        command = [str(self.ctl_exe)] + [str(a) for a in arguments]
        self.last_action = " ".join(command[1:])
        try:
            done = subprocess.run(command, capture_output=True, env=sim.env,
                                  timeout=CTL_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            self.report.add("hangs", f"kaldo-ctl {' '.join(command[1:])} ran over "
                                     f"{CTL_TIMEOUT_S} s")
            return None, ""
        self.report.count(f"kaldo-ctl exit {done.returncode}")
        self.ctl_log.write(f"{self.report.stamp()} {sim.name} faults {' '.join(sim.faults)}: "
                           f"kaldo-ctl {' '.join(command[1:])} -> {done.returncode}\n".encode()
                           + done.stdout + done.stderr)
        if done.returncode not in CTL_CODES:
            self.report.add("crashes", f"kaldo-ctl {' '.join(command[1:])}: "
                                       f"{exit_text(done.returncode)} "
                                       f"({done.stderr.decode(errors='replace').strip()[:200]})")
        return done.returncode, done.stdout.decode(errors="replace")

    def random_faults(self):
        kinds = self.random.choice([[], [], ["latency"], ["drop"], ["garbage"], ["disconnect"],
                                    ["latency", "drop"], ["garbage", "drop"],
                                    ["latency", "garbage", "disconnect"]])
        faults = []
        for kind in kinds:
            self.fault_kinds[kind] += 1
            if kind == "latency":
                faults += ["--latency-ms", str(self.random.randint(20, 250))]
            elif kind == "drop":
                faults += ["--drop-every", str(self.random.randint(3, 12))]
            elif kind == "garbage":
                faults += ["--garbage"]
            else:
                faults += ["--disconnect-after-ms", str(self.random.randint(2000, 9000))]
        if not kinds:
            self.fault_kinds["none"] += 1
        return faults

    def switch_faults(self):
        for sim in (self.ui_sim, self.ctl_sim):
            sim.stop()
            sim.start(self.random_faults())
        self.report.count("fault switches")

    def reattach_disconnected(self):
        """A sim that unplugged itself (--disconnect-after-ms) is plugged in again."""
        for sim in (self.ui_sim, self.ctl_sim):
            if sim.check_exit(False):
                self.report.count("disconnects")
                time.sleep(self.random.uniform(0.1, 1.0))
                sim.start(sim.faults)

    # --- actions -------------------------------------------------------------------------

    def discover_dial(self):
        """The dial's parameters, walked with select events (A = 1, N = 0) on a clean link."""
        ident = 0
        while ident <= 1023:
            reply = self.companion.dial(f"Rotate:enc:1:{ident}:0:0")
            if reply is None:
                break
            found = int(reply.split(":")[0])
            if found < ident:
                break
            self.dial_ids.append(found)
            ident = found + 1
        self.dial_ids = [i for i in self.dial_ids
                         if i not in DIAL_EXCLUDED and i not in TRACKED]

    def act_dial(self):
        ident = self.random.choice(self.dial_ids)
        select = self.random.random() < 0.3
        steps = self.random.choice([-3, -2, -1, 1, 1, 2, 3])
        coarse = int(self.random.random() < 0.2)
        kind = self.random.choice(["Rotate", "Rotate", "Rotate", "Press"])
        text = f"{kind}:enc:{int(select)}:{ident}:{coarse if not kind == 'Press' else 0}:{steps}"
        self.last_action = text
        reply = self.companion.dial(text)
        self.report.count("dial events")
        self.report.count("dial replies" if reply else "dial events without a reply")

    def act_event(self):
        text = self.random.choice(EVENTS)
        code, _ = self.ctl("event", "--port", self.args.port, text, sim=self.ui_sim)
        self.report.count("companion events by kaldo-ctl")

    def act_set(self):
        ident = self.random.choice(TRACKED)
        low, high = self.ranges[ident]
        value = self.random.randint(low, high)
        code, out = self.ctl("--json", "--timeout", "500", "set", ident, value, "--raw", "--save")
        saved = False
        if code == 0:
            try:
                saved = json.loads(out).get("saved", False)
            except json.JSONDecodeError:
                self.report.add("notes", f"set {ident} {value}: exit 0 without JSON")
        if code == 0 and saved:
            self.expected[ident] = {value}
            self.report.count("writes confirmed and saved")
        elif code == 0:
            # Equal already; a value written before without confirmation may still be saved.
            self.expected[ident].add(value)
            self.report.count("writes unchanged")
        elif code == 2:
            self.report.count("writes refused before sending")
        else:
            # Reported as not done or not confirmed: either value may be there.
            self.expected[ident].add(value)
            self.report.count("writes reported unconfirmed")

    def act_read(self):
        choice = self.random.random()
        if choice < 0.4:
            self.ctl("--timeout", "500", "get", *self.random.sample(TRACKED, 3))
        elif choice < 0.6:
            self.ctl("dump", "--page", self.random.choice(["PinP", "Mix/Effect/Cut/Mix", "SNTP/Current"]))
        elif choice < 0.8:
            self.ctl("info")
        else:
            # The utility holds its switcher: busy (8), or gone (3) while it is unplugged.
            self.ctl("--timeout", "300", "info", sim=self.ui_sim)
        self.report.count("kaldo-ctl reads")

    def act_reboot(self):
        code, _ = self.ctl("reboot", "--yes", "--wait", "10")
        self.report.count("kaldo-ctl reboots")
        # The utility's switcher reboots too: leaves, away a while, back as a new attachment.
        self.ui_sim.stop()
        time.sleep(1.0)
        self.ui_sim.start(self.ui_sim.faults)
        self.report.count("utility switcher reboots")

    def act_page(self):
        self.last_action = "page switch"
        self.screen.switch_page()

    def act_widget(self):
        self.last_action = "widget edit"
        self.screen.edit_widget()

    # --- the run -------------------------------------------------------------------------

    def context(self):
        return (f"ui-sim faults: {' '.join(self.ui_sim.faults) or 'none'}; "
                f"last action: {self.last_action}")

    def probe_loop(self):
        while self.running:
            self.companion.probe(self.context)
            time.sleep(PROBE_INTERVAL_S)

    def wait_session(self, timeout=30):
        """Waits until the utility answers a dial event (it has its switcher open)."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if self.companion.dial("Rotate:enc:1:210:0:0", wait_s=1.0):
                return True
            time.sleep(0.3)
        return False

    def read_tracked(self):
        code, out = self.ctl("--json", "get", *TRACKED, "--raw")
        if code != 0:
            return None
        return {row["id"]: row["raw"] for row in json.loads(out)}

    def run(self):
        r = self.report
        print(f"soak: {self.args.duration:.0f} s, seed {self.args.seed}, work {self.work}",
              flush=True)
        self.ui_sim.start([])
        self.ctl_sim.start([])
        self.start_utility()
        if not self.wait_session():
            r.add("notes", "the utility did not open its switcher within 30 s")
            return self.finish(None)
        self.discover_dial()
        start_values = self.read_tracked()
        if start_values is None:
            r.add("notes", "could not read the tracked settings on a clean link")
            return self.finish(None)
        self.expected = {i: {v} for i, v in start_values.items()}
        time.sleep(1.0)
        start_figures = {"kaldo-utility": proc_figures(self.utility_pid),
                         "kaldo-sim": proc_figures(self.ui_sim.proc.pid)}
        prober = threading.Thread(target=self.probe_loop, daemon=True)
        prober.start()

        actions = [(self.act_dial, 30), (self.act_event, 15), (self.act_set, 20),
                   (self.act_read, 15), (self.act_reboot, 1), (self.act_page, 10),
                   (self.act_widget, 10)]
        end = time.monotonic() + self.args.duration
        next_switch = time.monotonic() + self.random.uniform(5, 25)
        while time.monotonic() < end:
            if not self.utility_alive():
                # Started again, so that one crash does not end the run.
                self.utility_restarts += 1
                self.start_utility()
                self.wait_session()
            if time.monotonic() >= next_switch:
                self.switch_faults()
                next_switch = time.monotonic() + self.random.uniform(5, 25)
            self.reattach_disconnected()
            self.random.choices([a for a, _ in actions], [w for _, w in actions])[0]()
            time.sleep(self.random.uniform(0, 0.2))

        # Faults off: both switchers clean, the utility back on its switcher.
        self.running = False
        prober.join()
        for sim in (self.ui_sim, self.ctl_sim):
            sim.stop()
            sim.start([])
        if self.utility.poll() is None and not self.wait_session(60):
            r.add("hangs", "the utility did not reopen a clean switcher within 60 s")
        time.sleep(1.0)
        end_figures = {"kaldo-utility": proc_figures(self.utility_pid),
                       "kaldo-sim": proc_figures(self.ui_sim.proc.pid)}
        self.check_writes()
        return self.finish((start_figures, end_figures))

    def check_writes(self):
        values = self.read_tracked()
        if values is None:
            self.report.add("notes", "could not read the tracked settings at the end")
            return
        for ident in TRACKED:
            if values[ident] not in self.expected[ident]:
                self.report.add("lost", f"{ident} reads {values[ident]}, expected one of "
                                        f"{sorted(self.expected[ident])}")

    def cleanup(self):
        """Ends whatever still runs (also after an error in this script)."""
        self.running = False
        if self.utility and self.utility.poll() is None:
            self.utility.kill()
            self.utility.wait()
        for sim in (self.ui_sim, self.ctl_sim):
            if sim.proc and sim.proc.poll() is None:
                sim.proc.kill()
                sim.proc.wait()
        self.screen.stop()

    def finish(self, figures):
        r = self.report
        self.running = False
        if self.utility and self.utility.poll() is None:
            os.kill(self.utility_pid, signal.SIGTERM)
            try:
                code = self.utility.wait(10)
                if self.args.gdb and self.gdb_signal():
                    r.add("crashes", f"kaldo-utility: {self.gdb_signal()} (backtrace in its log)")
                elif not self.args.gdb and code not in (0, -signal.SIGTERM):
                    r.add("crashes", f"kaldo-utility on SIGTERM: {exit_text(code)}")
            except subprocess.TimeoutExpired:
                r.add("hangs", "kaldo-utility did not leave on SIGTERM")
                self.utility.kill()
        elif self.utility:
            self.utility_alive()
        for sim in (self.ui_sim, self.ctl_sim):
            sim.stop()
        self.screen.stop()

        lat = sorted(self.companion.latencies)
        print(f"\nsoak: {time.monotonic() - r.start:.0f} s, seed {self.args.seed}, screen "
              f"{self.args.screen}, {len(self.dial_ids)} dial parameters edited")
        print("faults: " + ", ".join(f"{k} {v}" for k, v in sorted(self.fault_kinds.items())))
        print("counts: " + ", ".join(f"{k} {v}" for k, v in sorted(r.counts.items())))
        if lat:
            print(f"UI probe: {len(lat)} datagrams, read within median "
                  f"{statistics.median(lat):.0f} ms, 99th percentile "
                  f"{lat[int(0.99 * (len(lat) - 1))]:.0f} ms, max {lat[-1]:.0f} ms "
                  f"(hang: over {HANG_MS} ms)")
        if figures:
            for name in figures[0]:
                before, after = figures[0][name], figures[1][name]
                if before and after:
                    print(f"{name}: resident {before[0]} kB -> {after[0]} kB, "
                          f"descriptors {before[1]} -> {after[1]}")
            if self.utility_restarts:
                print(f"(kaldo-utility was started again {self.utility_restarts} times after "
                      f"crashes: its end figures are the last process's)")
        for title, items in (("crashes", r.crashes), ("hangs", r.hangs),
                             ("lost writes", r.lost), ("notes", r.notes)):
            print(f"{title}: {len(items)}")
            for item in items:
                print(f"  {item}")
        return 0 if not (r.crashes or r.hangs or r.lost or r.notes) else 1


def main():
    status = in_private_netns(sys.argv)
    if status is not None:
        return status
    args = parse_args()
    work = Path(tempfile.mkdtemp(prefix="kaldo-soak-"))
    os.chmod(work, 0o700)
    soak = Soak(args, work)
    try:
        return soak.run()
    finally:
        soak.cleanup()
        if args.keep:
            print(f"soak: logs kept in {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
