"""The editor on the accessibility bus, as a screen reader reaches it: starting
and finding it, finding objects by role and name, pressing buttons and typing.
Used by the scripts run-on-virtual-desktop runs."""
import os
import shutil
import signal
import subprocess
import time

TIMEOUT = 30.0
# libatspi's own: a method call, and a call to an application still starting
# (milliseconds). -1 would wait for ever.
ATSPI_DEFAULT_TIMEOUTS = (800, 15000)
# A first start on a busy machine also builds the scratch home's font cache.
STARTUP_TIMEOUT = 120.0
LIBRARY = os.environ.get("CADENZA_LIBRARY", "")


def wait_for(what, probe, timeout=TIMEOUT):
    """Polls probe() until it returns something true, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            found = probe()
        except EditorEnded:
            raise
        except Exception:  # an object may vanish while the window changes
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.2)


def wait_for_accessibility_bus():
    """Waits until the bus launcher owns its name, so that neither this script
    nor the editor has the session bus start a second launcher."""
    from gi.repository import Gio, GLib
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def owned():
        reply = session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "NameHasOwner", GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                                  Gio.DBusCallFlags.NONE, -1, None)
        return reply.unpack()[0]
    wait_for("the accessibility bus", owned)


wait_for_accessibility_bus()
import pyatspi  # noqa: E402 (connects to the accessibility bus on import)


def find(root, role, name=None):
    """The first object of the role (and name) below root, breadth first."""
    queue = [root]
    while queue:
        acc = queue.pop(0)
        for child in acc:
            if child is None:
                continue
            if child.getRole() == role and (name is None or child.name == name):
                return child
            queue.append(child)
    return None


def press(acc):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("press", "Press", "click"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return
    raise AssertionError(f"{acc.name!r} offers no press action, only {names}")


def press_opening_modal(acc):
    """Presses a control whose action opens a modal dialog with its own event
    loop: the editor answers the press only when the dialog closes, so the
    answer is not waited for."""
    from gi.repository import Atspi
    Atspi.set_timeout(500, 500)
    try:
        press(acc)
    except Exception:  # the reply that comes when the dialog closes
        pass
    finally:
        Atspi.set_timeout(*ATSPI_DEFAULT_TIMEOUTS)


# Keys go through the accessibility registry to the X server, as a screen
# reader's own key commands do.
def press_return():
    pyatspi.Registry.generateKeyboardEvent(0xFF0D, None, pyatspi.KEY_SYM)


def type_text(text):
    pyatspi.Registry.generateKeyboardEvent(0, text, pyatspi.KEY_STRING)


def copy_fixture(fixture, name):
    shutil.copy(os.path.join(os.environ["CADENZA_FIXTURES"], fixture), os.path.join(LIBRARY, name))
    return os.path.join(LIBRARY, name)


class EditorEnded(Exception):
    """The editor process ended while it was waited for."""


class Editor:
    """A running editor process and its main window on the bus."""

    def __init__(self, *paths):
        self.log = open(os.path.join(LIBRARY, "..", f"cadenza-{time.monotonic_ns()}.log"), "w")
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.process = subprocess.Popen([os.environ["CADENZA_BINARY"], *paths], env=environment,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        try:
            self.app = wait_for("the editor on the accessibility bus", self._application, STARTUP_TIMEOUT)
        except EditorEnded:
            raise AssertionError(f"the editor ended before appearing on the bus ({self._state()})")
        except AssertionError:
            raise AssertionError(f"the editor did not appear on the accessibility bus ({self._state()})")
        self.window = wait_for("the main window", lambda: find(self.app, pyatspi.ROLE_FRAME))
        self.files = wait_for("the file list", lambda: find(self.window, pyatspi.ROLE_TABLE, "Files"))
        self.table = self.files.queryTable()

    def _state(self):
        """What the process is doing, for a failure message: its status, its
        output, what the accessibility bus lists and, while it runs, where
        its threads are."""
        status = self.process.poll()
        self.log.flush()
        with open(self.log.name) as log:
            output = log.read()[-4000:]
        running = "still running" if status is None else f"exited with {status}"
        state = f"{running}; its output:\n{output}"
        try:
            listed = [(app.name, app.get_process_id()) for app in pyatspi.Registry.getDesktop(0) if app is not None]
            state += f"\napplications on the accessibility bus: {listed}"
        except Exception as error:
            state += f"\nthe accessibility bus could not be listed: {error}"
        if status is None and shutil.which("gdb"):
            stacks = subprocess.run(["gdb", "-p", str(self.process.pid), "-batch", "-ex", "thread apply all bt 12"],
                                    capture_output=True, text=True, timeout=60).stdout
            state += "\nits threads:\n" + stacks[-6000:]
        return state

    def _application(self):
        if self.process.poll() is not None:
            raise EditorEnded()
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name.lower() == "cadenza" and app.get_process_id() == self.process.pid:
                return app
        return None

    def dialogs(self):
        """The windows over the main window: dialogs and alerts."""
        return [d for d in self.app if d is not None and d.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT)]

    def dialog(self, what):
        return wait_for(what, lambda: next(iter(self.dialogs()), None))

    def column(self, header):
        for column in range(self.table.nColumns):
            cell = self.table.getColumnHeader(column)
            if cell is not None and cell.name == header:
                return column
        raise AssertionError(f"no column {header!r}")

    def row_of(self, file_name):
        name_column = self.column("Filename")
        for row in range(self.table.nRows):
            if self.table.getAccessibleAt(row, name_column).name == file_name:
                return row
        return None

    def cell(self, file_name, header):
        return self.table.getAccessibleAt(self.row_of(file_name), self.column(header)).name

    def select(self, file_name):
        row = self.row_of(file_name)
        assert row is not None, f"{file_name} is not listed"
        for selected in self.table.getSelectedRows():
            self.table.removeRowSelection(selected)
        self.table.addRowSelection(row)
        wait_for(f"{file_name} to be selected", lambda: list(self.table.getSelectedRows()) == [row])

    def type_into_inspector(self, label, text):
        field = wait_for(f"the inspector's {label} field", lambda: find(self.window, pyatspi.ROLE_TEXT, label))
        field.queryComponent().grabFocus()
        wait_for(f"the {label} field to take the focus",
                 lambda: field.getState().contains(pyatspi.STATE_FOCUSED))
        field.queryEditableText().setTextContents("")
        type_text(text)
        press_return()

    def kill(self):
        self.process.send_signal(signal.SIGKILL)
        self.process.wait()

    def quit(self):
        self.process.terminate()
        self.process.wait(timeout=TIMEOUT)
