#!/usr/bin/env python3
"""End-to-end tests: the real KMXHooksManager.exe under Wine on the virtual
display, driven from outside with real keyboard and mouse input (xdotool),
then checked in the registry (Wine's `reg query`) and in the files.

They run in the suite's own Wine prefix and clear its
HKCU\\Software\\QBL before and after each case; nothing else is touched.
Positions come from the running dialog (probe.exe reads them), never from
fixed pixels, and every wait is a bounded poll on something observable.
"""
import contextlib
import os
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("KMX_BUILD", os.path.join(ROOT, "build"))
EXE = os.path.join(BUILD, "bin", "KMXHooksManager.exe")
PROBE = os.path.join(BUILD, "bin", "probe.exe")
KMXHOOKS = os.path.join(BUILD, "bin", "kmxhooks.exe")
SETTINGS = r"HKCU\Software\QBL\KMXHooks\Application_Prefs"
PREFIX = r"HKEY_CURRENT_USER\Software\QBL\KMXHooks\Application_Prefs" + "\\"
# The loader of the build under test (scripts/with-build.sh sets it).
WINE = os.environ.get("KMX_WINE", "wine")
ENV = dict(os.environ, WINEPREFIX=os.path.join(BUILD, "wineprefix-test"), WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml=")
SEVEN = ["use_GetUpdateRect", "use_Timer", "use_KeyPress", "use_LButtonUp", "use_MButtonUp",
         "use_RButtonUp", "use_Deferral"]


def wine(*args, timeout=60):
    return subprocess.run([WINE, *args], env=ENV, stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, timeout=timeout)


def probe(*args):
    """What probe.exe prints, or None when it found nothing (or took too long)."""
    try:
        result = wine(PROBE, *args, timeout=15)
    except subprocess.TimeoutExpired:
        return None
    return result.stdout.replace("\r", "") if result.returncode == 0 else None


def wait_for(check, what, timeout=10.0):
    end = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def xdo(*args):
    subprocess.run(["xdotool", *args], check=True, stderr=subprocess.DEVNULL)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def write_reg(path, entries):
    """A REGEDIT4 file; `entries` maps names to {value name: int or str}."""
    lines = ["REGEDIT4", ""]
    for name, values in entries.items():
        lines.append("[" + PREFIX + name + "]")
        for value, data in values.items():
            if isinstance(data, int):
                lines.append('"%s"=dword:%08x' % (value, data))
            else:
                lines.append('"%s"="%s"' % (value, data))
        lines.append("")
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def registry(entry):
    """An entry's values ({name: int or str}), or None when it has no key."""
    result = wine("reg", "query", SETTINGS + "\\" + entry)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.replace("\r", "").splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[1].startswith("REG_"):
            values[parts[0]] = int(parts[2], 16) if parts[1] == "REG_DWORD" else parts[2]
    return values


@contextlib.contextmanager
def server_running():
    """The server's single-instance mutex, held by probe.exe meanwhile."""
    holder = subprocess.Popen([WINE, PROBE, "hold-mutex", "60"], env=ENV,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
    try:
        if holder.stdout.readline().strip() != "holding":
            raise AssertionError("probe.exe does not hold the mutex")
        yield
    finally:
        holder.kill()
        holder.wait()


def centre(rect):
    left, top, right, bottom = (int(n) for n in rect.split()[:4])
    return str((left + right) // 2), str((top + bottom) // 2)


class App:
    """The running program."""

    def __init__(self, expect_warning=False, mouse=True):
        self.mouse = mouse
        self.process = subprocess.Popen([WINE, EXE], env=ENV, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not expect_warning:
            self.wait_ready()

    def wait_ready(self):
        try:
            wait_for(lambda: probe("rect", "1010"), "the main dialog", 30.0)
        except AssertionError:
            # What is on the screen instead, for the report.
            print("running:", self.process.poll() is None, "box:", probe("box"),
                  "dialog:", probe("window", "#32770"), file=sys.stderr)
            raise
        assert probe("box") is None, "no message box at start-up"
        # The list takes the keyboard focus, as a user's first click would.
        if self.mouse:
            self.click_list_space(1)

    def state(self):
        text = wait_for(lambda: probe("state"), "the dialog's state")
        state = {"items": []}
        for line in text.splitlines():
            key, _, rest = line.partition(" ")
            if key == "item":
                state["items"].append(rest)
            elif key == "boxes":
                state["boxes"] = rest.split()
            else:
                state[key] = int(rest)
        return state

    def click_item(self, index, button=1):
        x, y = centre(wait_for(lambda: probe("item", str(index)), "item %d" % index))
        xdo("mousemove", x, y, "click", str(button))
        time.sleep(0.1)

    def click_list_space(self, button):
        """A click below the last item."""
        left, top, right, bottom = (int(n) for n in probe("rect", "1010").split())
        xdo("mousemove", str(left + 20), str(bottom - 6), "click", str(button))
        time.sleep(0.1)

    def menu(self, position):
        """Opens the context menu where the mouse is and presses Enter on the
        item at `position` (0 is Add New; separators are skipped)."""
        # Wine may drop a right-click that comes just after a menu closed;
        # a user would click again.
        for attempt in range(3):
            xdo("click", "3")
            try:
                wait_for(lambda: probe("window", "#32768"), "the context menu", 2.0)
                break
            except AssertionError:
                if attempt == 2:
                    raise
        xdo("key", *(["Down"] * (position + 1)), "Return")
        time.sleep(0.2)

    def menu_from_keyboard(self, key, position):
        """Opens the context menu with `key` and chooses the item at
        `position`; where the menu opened, as probe.exe gives a window."""
        self.keys(key)
        opened = wait_for(lambda: probe("window", "#32768"), "the context menu after " + key)
        self.keys(*(["Down"] * (position + 1)), "Return")
        return opened

    def save_as(self, path):
        """Names the file in the Save dialog the menu just opened; its bytes."""
        wait_for(lambda: probe("window", "#32770") and probe("box") is None, "the Save dialog")
        time.sleep(0.5)
        self.type(windows_path(path))
        self.keys("Return")
        wait_for(lambda: os.path.exists(path + ".reg"), "the exported file")
        with open(path + ".reg", "rb") as f:
            return f.read()

    def help_on_first_check_box(self):
        """Tab from the list to the first check box, F1, then Esc on the
        popup (Wine's HTML Help shows nothing; the program's own popup does)."""
        self.keys("Tab")
        assert self.state()["focus"] == 1011, "Tab leads from the list to the first check box"
        self.keys("F1")
        wait_for(lambda: probe("window", "KMXHooksHelpPopup"), "the help popup")
        self.keys("Escape")
        wait_for(lambda: probe("window", "KMXHooksHelpPopup") is None, "the popup to close")

    def close_menu(self):
        """Enter on a greyed item closes Wine's menu; should one stay open,
        Esc closes it (Esc on the dialog itself would end the program)."""
        try:
            wait_for(lambda: probe("window", "#32768") is None, "the menu to close", 1.5)
        except AssertionError:
            self.keys("Escape")
            wait_for(lambda: probe("window", "#32768") is None, "the menu to close")

    def keys(self, *keys):
        xdo("key", "--delay", "40", *keys)
        time.sleep(0.15)

    def type(self, text):
        xdo("type", "--delay", "30", text)

    def answer_box(self, key):
        text = wait_for(lambda: probe("box"), "a message box").strip()
        self.keys(key)
        wait_for(lambda: probe("box") is None, "the box to close")
        return text

    def wait_closed(self):
        self.process.wait(timeout=15)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


ADD_NEW, DELETE, RESET, IMPORT, EXPORT = range(5)


class PrefixCase(unittest.TestCase):
    """A case in the suite's prefix: HKCU\\Software\\QBL cleared before and
    after, and a temporary folder of its own."""

    def setUp(self):
        wine("reg", "delete", r"HKCU\Software\QBL", "/f")
        self.folder = tempfile.mkdtemp(prefix="kmx-e2e-")

    def tearDown(self):
        wine("reg", "delete", r"HKCU\Software\QBL", "/f")
        subprocess.run(["rm", "-rf", self.folder])

    def seed(self, entries):
        path = os.path.join(self.folder, "seed.reg")
        write_reg(path, entries)
        wine("regedit", "/s", windows_path(path))
        self.assertEqual(set(entries), {n for n in entries if registry(n) is not None})


class EndToEnd(PrefixCase):
    def setUp(self):
        super().setUp()
        self.app = None

    def tearDown(self):
        if self.app:
            self.app.kill()
        super().tearDown()

    def start(self, **kw):
        self.app = App(**kw)
        return self.app

    def test_typical_edit_writes_only_the_cleared_flag(self):
        ones = dict.fromkeys(SEVEN, 1)
        self.seed({"A": ones, "B": ones})
        app = self.start()
        app.click_item(0)
        self.assertEqual(["1"] * 7, app.state()["boxes"])
        app.keys("Tab", "Tab", "space")  # to "Use Timer updates" and clear it
        self.assertEqual("0", app.state()["boxes"][1])
        self.assertEqual(ones, registry("A"), "nothing written yet")
        app.click_item(1)
        self.assertEqual(1, app.state()["selected"])
        self.assertEqual(dict(ones, use_Timer=0), registry("A"))
        self.assertEqual(ones, registry("B"))

    def test_click_below_the_items_saves_and_leaves_no_box_to_edit(self):
        ones = dict.fromkeys(SEVEN, 1)
        self.seed({"A": ones})
        app = self.start()
        app.click_item(0)
        app.keys("Tab", "Tab", "space")  # clears "Use Timer updates"
        app.click_list_space(1)
        state = app.state()
        self.assertEqual(-1, state["selected"])
        self.assertEqual(["-"] * 7, state["boxes"], "no box takes an edit that nothing would save")
        self.assertEqual(dict(ones, use_Timer=0), registry("A"), "saved as the selection went")
        app.keys("Escape")
        app.wait_closed()
        self.assertEqual(dict(ones, use_Timer=0), registry("A"))

    def test_context_menu_greys_and_reset_then_esc_saves(self):
        self.seed({"Missing": {"use_Timer": 1}, "Two": dict.fromkeys(SEVEN, 2)})
        app = self.start()
        app.click_list_space(1)
        for greyed in (DELETE, RESET):
            app.menu(greyed)  # nothing happens
            app.close_menu()
        self.assertIsNone(probe("box"))
        state = app.state()
        self.assertEqual(["Missing", "Two"], state["items"])
        self.assertEqual(["-"] * 7, state["boxes"])

        app.click_item(0)
        self.assertEqual(["-", "1", "-", "-", "-", "-", "-"], app.state()["boxes"])
        app.menu(RESET)
        self.assertEqual(["1", "0", "1", "1", "1", "1", "1"], app.state()["boxes"])
        app.keys("Escape")
        app.wait_closed()
        self.assertEqual(dict(zip(SEVEN, [1, 0, 1, 1, 1, 1, 1])), registry("Missing"))
        self.assertEqual(dict.fromkeys(SEVEN, 2), registry("Two"))

    def test_export_is_grey_with_an_empty_list(self):
        app = self.start()
        app.menu(EXPORT)
        app.close_menu()
        time.sleep(1.0)  # a Save dialog would be up by now
        self.assertEqual(1, app.state()["active"], "the dialog, not a Save dialog, is active")
        self.assertEqual([], app.state()["items"])
        app.menu(ADD_NEW)
        self.assertEqual(1, app.state()["editing"], "Add New is always offered")

    def test_add_new_named_with_the_keyboard(self):
        self.seed({"Old": {"use_Timer": 1}})
        app = self.start()
        app.menu(ADD_NEW)
        wait_for(lambda: app.state()["editing"], "the name editor")
        app.type("Typed App.exe")
        app.keys("Return")
        state = app.state()
        self.assertEqual(["Old", "Typed App.exe"], state["items"])
        self.assertEqual(["1", "0", "1", "1", "1", "1", "1"], state["boxes"])
        self.assertIsNone(registry("Typed App.exe"), "written only when saved")
        app.menu(ADD_NEW)
        wait_for(lambda: app.state()["editing"], "the name editor")
        app.type("bad:name")
        app.keys("Return")
        self.assertEqual("Application name contains invalid characters.", app.answer_box("Return"))
        self.assertEqual(["Old", "Typed App.exe"], app.state()["items"])
        app.click_item(1)
        app.keys("Escape")
        app.wait_closed()
        self.assertEqual(dict(zip(SEVEN, [1, 0, 1, 1, 1, 1, 1])), registry("Typed App.exe"))

    def test_delete_asks_unless_shift_is_held(self):
        self.seed({"A": {"use_Timer": 1}, "B": {"use_Timer": 1}, "C": {"use_Timer": 0}})
        app = self.start()
        app.click_item(0)
        app.keys("Delete")
        self.assertEqual("Delete A KMX Hook Settings?", app.answer_box("n"))
        self.assertIsNotNone(registry("A"))
        app.keys("Delete")
        self.assertEqual("Delete A KMX Hook Settings?", app.answer_box("y"))
        wait_for(lambda: registry("A") is None, "A to be deleted")
        self.assertEqual(["B", "C"], app.state()["items"])
        app.click_item(0)
        app.keys("shift+Delete")
        wait_for(lambda: registry("B") is None, "B to be deleted")
        self.assertIsNone(probe("box"))
        self.assertEqual(["C"], app.state()["items"])
        app.click_item(0)
        app.menu(DELETE)
        self.assertEqual("Delete C KMX Hook Settings?", app.answer_box("y"))
        self.assertEqual([], app.state()["items"])

    def test_export_then_import_through_the_file_dialogs(self):
        self.seed({"A": dict.fromkeys(SEVEN, 1), "B": {"use_Timer": 0, "use_Deferral": 2}})
        out = os.path.join(self.folder, "exported")
        app = self.start()
        app.click_item(0)
        app.menu(EXPORT)
        data = app.save_as(out)
        self.assertTrue(data.startswith(b"REGEDIT4\r\n\r\n[" + PREFIX.encode() + b"A]\r\n"))
        self.assertIn(b'"use_Deferral"=dword:00000002\r\n', data)
        console = os.path.join(self.folder, "console.reg")
        self.assertEqual(0, wine(KMXHOOKS, "export", windows_path(console)).returncode)
        with open(console, "rb") as f:
            self.assertEqual(data, f.read(), "the console program writes the dialog's bytes")

        # Meanwhile another program changes A and removes B.
        wine("reg", "add", SETTINGS + r"\A", "/v", "use_Timer", "/t", "REG_DWORD", "/d", "0", "/f")
        wine("reg", "delete", SETTINGS + r"\B", "/f")
        app.menu(IMPORT)  # the last path is offered: Enter takes it
        wait_for(lambda: probe("window", "#32770") and probe("box") is None, "the Open dialog")
        time.sleep(0.5)
        app.keys("Return")
        self.assertEqual("Do you want to replace existing hook settings?", app.answer_box("n"))
        self.assertEqual(0, registry("A")["use_Timer"], "No leaves existing entries alone")
        self.assertEqual({"use_Timer": 0, "use_Deferral": 2}, registry("B"))

        app.menu(IMPORT)
        wait_for(lambda: probe("window", "#32770") and probe("box") is None, "the Open dialog")
        time.sleep(0.5)
        app.keys("Return")
        self.assertEqual("Do you want to replace existing hook settings?", app.answer_box("y"))
        self.assertEqual(dict.fromkeys(SEVEN, 1), registry("A"))
        self.assertEqual(["A", "B"], app.state()["items"])

    def test_f1_on_a_check_box_keeps_the_dialog_usable(self):
        self.seed({"A": dict.fromkeys(SEVEN, 0)})
        app = self.start()
        app.click_item(0)
        app.help_on_first_check_box()
        self.assertIsNotNone(probe("rect", "1010"), "Escape closed the popup, not the dialog")
        self.assertEqual(1011, app.state()["focus"], "the keyboard is back on the check box")
        app.keys("space")
        self.assertEqual("1", app.state()["boxes"][0])
        app.keys("Escape")
        app.wait_closed()
        self.assertEqual(1, registry("A")["use_GetUpdateRect"])

    def test_everything_from_the_keyboard(self):
        self.seed({"A": dict.fromkeys(SEVEN, 0), "B": dict.fromkeys(SEVEN, 1)})
        out = os.path.join(self.folder, "keyed")
        defaults = dict(zip(SEVEN, [1, 0, 1, 1, 1, 1, 1]))
        app = self.start(mouse=False)
        for _ in range(10):  # Tab brings the keyboard to the list
            if app.state()["focus"] == 1010:
                break
            app.keys("Tab")
        self.assertEqual(1010, app.state()["focus"])
        app.keys("Home")
        self.assertEqual(0, app.state()["selected"])
        app.keys("alt+t")  # the mnemonic of "Use Timer updates" toggles it
        self.assertEqual(["0", "1", "0", "0", "0", "0", "0"], app.state()["boxes"])
        app.keys("shift+Tab", "shift+Tab")
        self.assertEqual(1010, app.state()["focus"])

        # Shift+F10 opens the menu below the selected item, not at the mouse.
        label = [int(n) for n in probe("item", "0").split()]
        opened = [int(n) for n in app.menu_from_keyboard("shift+F10", ADD_NEW).split()[:2]]
        self.assertEqual([label[0], label[3]], opened)
        wait_for(lambda: app.state()["editing"], "the name editor")
        app.type("Keyed.exe")
        app.keys("Return")
        state = app.state()
        self.assertEqual(["A", "B", "Keyed.exe"], state["items"])
        self.assertEqual(["1", "0", "1", "1", "1", "1", "1"], state["boxes"])
        self.assertEqual(1, registry("A")["use_Timer"], "saved as Add New began")

        app.keys("Home")  # saves the new entry
        self.assertEqual(defaults, registry("Keyed.exe"))
        app.menu_from_keyboard("Menu", RESET)
        self.assertEqual(["1", "0", "1", "1", "1", "1", "1"], app.state()["boxes"])
        app.keys("Down")  # to B, saving A
        self.assertEqual(defaults, registry("A"))
        app.keys("Delete")
        self.assertEqual("Delete B KMX Hook Settings?", app.answer_box("y"))
        wait_for(lambda: registry("B") is None, "B to be deleted")
        self.assertEqual(["A", "Keyed.exe"], app.state()["items"])

        app.menu_from_keyboard("Menu", EXPORT)
        data = app.save_as(out)
        for name in ("A", "Keyed.exe"):
            self.assertIn(b"[" + PREFIX.encode() + name.encode() + b"]\r\n"
                          b'"use_GetUpdateRect"=dword:00000001\r\n"use_Timer"=dword:00000000\r\n',
                          data)
        self.assertNotIn(b"\\B]", data)

        wine("reg", "add", SETTINGS + r"\A", "/v", "use_Timer", "/t", "REG_DWORD", "/d", "1", "/f")
        app.menu_from_keyboard("Menu", IMPORT)
        wait_for(lambda: probe("window", "#32770") and probe("box") is None, "the Open dialog")
        time.sleep(0.5)
        app.keys("Return")  # the path just exported is offered
        self.assertEqual("Do you want to replace existing hook settings?", app.answer_box("y"))
        self.assertEqual(defaults, registry("A"), "the import put the exported value back")

        app.help_on_first_check_box()
        app.keys("Escape")
        app.wait_closed()
        self.assertEqual(defaults, registry("A"))
        self.assertEqual(defaults, registry("Keyed.exe"))
        self.assertIsNone(registry("B"))

    def test_warning_when_the_server_is_running(self):
        with server_running():
            self.seed({"A": {"use_Timer": 1}})
            app = self.start(expect_warning=True)
            self.assertEqual(
                "Brevant server is currently running! Changes to settings may not apply.",
                app.answer_box("Return"))
            app.wait_ready()
            self.assertEqual(["A"], app.state()["items"])
            app.keys("Escape")
            app.wait_closed()


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
