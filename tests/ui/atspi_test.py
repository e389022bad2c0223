#!/usr/bin/python3
"""The window as a screen reader reads it over AT-SPI.

Starts kaldo-sim and the real kaldo-utility under Xvfb on a private session bus with the AT-SPI
bus, opens every page by clicking its row in the tree, and checks on each page that every
control is named by its row's title or labelled by it, that number fields are spin buttons with
a value inside their range, and that the steppers are named after their field; then the header's
versions and the logo.

    atspi_test.py KALDO_UTILITY KALDO_SIM
Exits 77 (skipped) when Xvfb, dbus-run-session, at-spi-bus-launcher, xdotool or pyatspi is
missing.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
INNER = "KALDO_ATSPI_TEST_BUS"
BUS_LAUNCHERS = ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")
WAIT_S = 30.0


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIPPED)


def wait_for(what, condition, timeout=WAIT_S):
    """condition() once it is true; a call that the busy program did not answer counts as not
    yet."""
    from gi.repository import GLib
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            result = condition()
        except GLib.GError:
            result = None
        if result:
            return result
        time.sleep(0.1)
    raise TimeoutError(f"timed out waiting for {what}")


def retrying(call, attempts=3):
    """call(), again after a call that the busy program did not answer."""
    from gi.repository import GLib
    for attempt in range(attempts):
        try:
            return call()
        except GLib.GError:
            if attempt == attempts - 1:
                raise
            time.sleep(1)


def outer(argv):
    """Checks the tools, then runs the test again on a private session bus."""
    for tool in ("Xvfb", "dbus-run-session", "xdotool"):
        if not shutil.which(tool):
            skip(f"{tool} is not installed")
    if not any(os.access(path, os.X_OK) for path in BUS_LAUNCHERS):
        skip("at-spi-bus-launcher (at-spi2-core) is not installed")
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        skip("pyatspi (python3-pyatspi) is not installed")
    env = dict(os.environ, **{INNER: "1"})
    return subprocess.call(["dbus-run-session", "--", sys.executable, __file__] + argv, env=env)


class Session:
    """Xvfb, the AT-SPI bus, kaldo-sim and kaldo-utility, stopped in reverse order."""

    def __init__(self, utility, sim):
        self.dir = tempfile.mkdtemp(prefix="kaldo-atspi-")
        self.processes = []
        runtime = os.path.join(self.dir, "runtime")
        os.mkdir(runtime, 0o700)
        devices = os.path.join(self.dir, "devices")
        os.mkdir(devices)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=runtime, KALDO_DEVICE_DIR=devices,
                        HOME=self.dir, XDG_CONFIG_HOME=os.path.join(self.dir, "config"))
        read_end, write_end = os.pipe()
        self.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24",
                    "-nolisten", "tcp"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as display:
            self.env["DISPLAY"] = ":" + display.readline().strip()
        launcher = next(path for path in BUS_LAUNCHERS if os.access(path, os.X_OK))
        self.start([launcher, "--launch-immediately"])
        self.start([sim])
        wait_for("kaldo-sim's device record", lambda: os.listdir(devices))
        self.start([utility, "--no-companion"],
                   env=dict(self.env, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))

    def start(self, command, env=None, pass_fds=()):
        self.processes.append(subprocess.Popen(command, env=env or self.env, pass_fds=pass_fds,
                                               stdout=subprocess.DEVNULL))

    def close(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def children(node):
    return [child for child in node if child is not None]


def find(node, predicate):
    if predicate(node):
        return node
    for child in children(node):
        found = find(child, predicate)
        if found:
            return found
    return None


def find_all(node, predicate):
    found = [node] if predicate(node) else []
    for child in children(node):
        found += find_all(child, predicate)
    return found


def role(node):
    return node.getRoleName()


def labelled_by(node):
    import pyatspi
    return [relation.getTarget(i).name
            for relation in node.getRelationSet()
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
            for i in range(relation.getNTargets())]


def rows_of(page):
    """Every row of a page: a node whose first child is a label, with the label and controls."""
    rows = []
    for node in find_all(page, lambda n: True):
        kids = children(node)
        if len(kids) >= 2 and role(kids[0]) == "label" and kids[0].name:
            rows.append((kids[0].name, kids[1:]))
    return rows


class Checker:
    def __init__(self):
        self.failures = []

    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)

    def control(self, where, title, control):
        """A control is named by its row's title or labelled by it."""
        self.expect(control.name == title or title in labelled_by(control),
                    f"{where}: {role(control)} '{control.name}' is neither named nor labelled by "
                    f"'{title}' (labelled by {labelled_by(control)})")

    def number(self, where, title, box):
        """A number field: a spin button with a value in its range, and named steppers."""
        field = find(box, lambda n: role(n) in ("text", "spin button"))
        if not field:
            self.failures.append(f"{where}: '{title}' has no text field")
            return
        self.control(where, title, field)
        self.expect(role(field) == "spin button",
                    f"{where}: '{title}' is a {role(field)}, not a spin button")
        value = field.queryValue() if role(field) == "spin button" else None
        if value:
            self.expect(value.minimumValue < value.maximumValue
                        and value.minimumValue <= value.currentValue <= value.maximumValue,
                        f"{where}: '{title}' value {value.currentValue} outside "
                        f"{value.minimumValue} to {value.maximumValue}")
        buttons = sorted(button.name for button in find_all(box, lambda n: role(n) == "push button"))
        self.expect(buttons == [f"Decrease {title}", f"Increase {title}"],
                    f"{where}: steppers of '{title}' are {buttons}")


def is_stepper(node):
    return role(node) == "push button" and node.name.startswith(("Increase", "Decrease"))


def check_page(where, page):
    checker = Checker()
    rows = rows_of(page)
    checker.expect(rows, f"{where}: no rows")
    for title, controls in rows:
        control = controls[0]
        if find(control, is_stepper):
            checker.number(where, title, control)
        else:
            checker.control(where, title, control)
    return checker


def values_shown(page):
    """Whether every number field shows a value (the switcher's answers have arrived)."""
    fields = [find(box, lambda n: role(n) in ("text", "spin button"))
              for _, controls in rows_of(page) for box in controls[:1] if find(box, is_stepper)]
    return all(field and field.queryText().characterCount > 0 for field in fields)


def page_area(app):
    split = find(app, lambda n: role(n) == "split pane")
    return next(child for child in children(split) if not find(child, lambda n: role(n) == "tree"))


def click(display_env, node):
    import pyatspi
    x, y, width, height = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.check_call(["xdotool", "mousemove", str(x + width // 2), str(y + height // 2),
                           "click", "1"], env=display_env)


def scroll_into_view(display_env, tree, cell):
    """Turns the wheel over the tree until cell is in its upper three quarters, or as far as the
    tree scrolls."""
    import pyatspi
    last = None
    for _ in range(100):
        tx, ty, tw, th = tree.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        x, y, w, h = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        inside = y >= ty and y + h <= ty + th
        if (inside and y + h <= ty + th * 3 // 4) or (inside and y == last):
            return
        last = y
        button = "5" if y + h > ty + th * 3 // 4 else "4"
        subprocess.check_call(["xdotool", "mousemove", str(tx + tw // 2), str(ty + th // 2),
                               "click", button], env=display_env)
        time.sleep(0.2)
    raise TimeoutError(f"could not scroll '{cell.name}' into the tree")


def walk(session):
    import pyatspi
    checker = Checker()

    def application():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app.name == "kaldo-utility":
                tree = find(app, lambda n: role(n) == "tree")
                if tree and len(children(tree)) > 2 and rows_of(page_area(app)):
                    return app
        return None

    app = wait_for("the window with a switcher's first page", application)
    tree = find(app, lambda n: role(n) == "tree")

    # Pages are the rows that cannot be expanded; each opens by a click, as a user opens it.
    group = ""
    pages = 0
    previous = None
    cells = retrying(lambda: [(c, c.getState().contains(pyatspi.STATE_EXPANDABLE))
                              for c in children(tree) if role(c) == "table cell"])
    for cell, expandable in cells:
        if expandable:
            group = cell.name
            continue
        where = f"{group} › {cell.name}"
        retrying(lambda: scroll_into_view(session.env, tree, cell))
        retrying(lambda: click(session.env, cell))

        def opened():
            app.clear_cache()
            titles = [title for title, _ in rows_of(page_area(app))]
            return titles if titles and titles != previous else None

        previous = wait_for(f"page {where}", opened)
        wait_for(f"the values of {where}", lambda: values_shown(page_area(app)))
        checker.failures += retrying(lambda: check_page(where, page_area(app))).failures
        pages += 1
    checker.expect(pages == 27, f"opened {pages} pages, not 27")

    # The header: each version named with what it is; the logo named.
    header_names = retrying(lambda: [n.name for n in find_all(app, lambda n: role(n) == "label")])
    for what in ("Software version", "FPGA version", "USB version", "PHY version",
                 "Serial number"):
        checker.expect(any(name.startswith(what + ": ") for name in header_names),
                       f"header: no label named '{what}: …'")
    logo = retrying(lambda: find(app, lambda n: role(n) == "image"))
    checker.expect(logo is not None and logo.name, "header: the logo has no name")
    return checker


def main(argv):
    if os.environ.get(INNER) != "1":
        return outer(argv)
    if len(argv) != 2:
        print(__doc__)
        return 2
    session = Session(*argv)
    try:
        checker = walk(session)
    finally:
        session.close()
    for failure in checker.failures:
        print("FAIL:", failure)
    print(f"{len(checker.failures)} failures")
    return 1 if checker.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
