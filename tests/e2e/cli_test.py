#!/usr/bin/env python3
"""The console program kmxhooks.exe under Wine's loader: each command's
standard output, standard error and exit status, and what it left in the
registry (Wine's `reg query`) and in the files.

Like the end-to-end tests, they run in the suite's own Wine prefix and clear
its HKCU\\Software\\QBL before and after each case; nothing else is touched.
"""
import os
import subprocess
import sys
import tempfile
import unittest

from e2e_test import KMXHOOKS, PREFIX, SEVEN, SETTINGS, registry, wine, windows_path, write_reg

USAGE_LINE = "  kmxhooks import FILE --add        adds the entries that do not exist yet"
HEADER = ("use_GetUpdateRect use_Timer use_KeyPress use_LButtonUp use_MButtonUp "
          "use_RButtonUp use_Deferral name")


def run(*args):
    """(exit status, standard output, standard error) of one run."""
    result = wine(KMXHOOKS, *args)
    return result.returncode, result.stdout.replace("\r", ""), result.stderr.replace("\r", "")


def section(name, values):
    lines = ["", "[" + PREFIX + name + "]"]
    lines += ['"%s"=dword:%08x' % (value, data) for value, data in values.items()]
    return "\r\n".join(lines) + "\r\n"


class Cli(unittest.TestCase):
    def setUp(self):
        wine("reg", "delete", r"HKCU\Software\QBL", "/f")
        self.folder = tempfile.mkdtemp(prefix="kmx-cli-")

    def tearDown(self):
        wine("reg", "delete", r"HKCU\Software\QBL", "/f")
        subprocess.run(["rm", "-rf", self.folder])

    def seed(self, entries):
        path = os.path.join(self.folder, "seed.reg")
        write_reg(path, entries)
        wine("regedit", "/s", windows_path(path))
        self.assertEqual(set(entries), {n for n in entries if registry(n) is not None})

    def file(self, name, text=None):
        path = os.path.join(self.folder, name)
        if text is not None:
            with open(path, "wb") as f:
                f.write(text.encode("latin-1"))
        return path

    def check(self, case, got, status, out, err):
        """`out` and `err`: the whole text expected, or a part of it (in a
        one-element tuple)."""
        self.assertEqual(status, got[0], case + ": exit status\n" + got[1] + got[2])
        for expected, text, stream in ((out, got[1], "stdout"), (err, got[2], "stderr")):
            if isinstance(expected, tuple):
                self.assertIn(expected[0], text, case + ": " + stream)
            else:
                self.assertEqual(expected, text, case + ": " + stream)

    def test_list(self):
        self.check("nothing stored", run("list"), 0, HEADER + "\n", "")
        # In the registry's order: names sorted without regard to case.
        self.seed({"Media Player.exe": {"use_GetUpdateRect": 1, "use_Timer": 0},
                   "b.exe": {**dict.fromkeys(SEVEN, 0), "use_KeyPress": 2, "use_Timer": "x"}})
        self.check("missing, 2, a string and a blank", run("LIST"), 0,
                   HEADER + "\n"
                   "0                 -         2            0             0             "
                   "0             0            b.exe\n"
                   "1                 0         -            -             -             "
                   "-             -            Media Player.exe\n", "")
        self.check("arguments", run("list", "x"), 1, "", ("list takes no arguments.",))

    def test_export(self):
        out = self.file("out.reg")
        self.check("nothing stored", run("export", windows_path(out)), 2, "",
                   windows_path(out) + ": There are no hook settings to export.\n")
        self.assertFalse(os.path.exists(out))
        self.seed({"A": dict.fromkeys(SEVEN, 1), "B b": {"use_Timer": 0, "use_Deferral": 2}})
        self.file("out.reg", "the user's old file")
        self.check("over an old file", run("export", windows_path(out)), 0,
                   "Exported 2 entries to " + windows_path(out) + "\n", "")
        with open(out, "rb") as f:
            self.assertEqual(("REGEDIT4\r\n" + section("A", dict.fromkeys(SEVEN, 1)) +
                              section("B b", {"use_Timer": 0, "use_Deferral": 2}) + "\r\n")
                             .encode(), f.read())
        self.assertEqual(["out.reg", "seed.reg"], sorted(os.listdir(self.folder)))
        # A link at the path: the file it points to gets the export, the link stays.
        os.mkdir(self.file("real"))
        self.file(os.path.join("real", "kept.reg"), "old")
        os.symlink(os.path.join("real", "kept.reg"), self.file("link.reg"))
        self.check("through a link", run("export", windows_path(self.file("link.reg"))), 0,
                   ("Exported 2 entries",), "")
        self.assertTrue(os.path.islink(self.file("link.reg")))
        with open(out, "rb") as f, open(self.file(os.path.join("real", "kept.reg")), "rb") as g:
            self.assertEqual(f.read(), g.read())
        self.assertEqual(["kept.reg"], os.listdir(self.file("real")))
        missing = windows_path(os.path.join(self.folder, "missing", "out.reg"))
        self.check("a folder that is not there", run("export", missing), 2, "",
                   (missing + ": Could not write the export file: ",))
        self.check("no file", run("export"), 1, "", ("export needs a FILE.",))

    def test_import(self):
        self.seed({"Mine": {"use_Timer": 1}})
        both = self.file("both.reg", "REGEDIT4\r\n" + section("Mine", dict.fromkeys(SEVEN, 0)) +
                         section("New", {"use_Timer": 0}))
        self.check("add", run("import", windows_path(both), "/ADD"), 0,
                   "Imported 1 entry; 1 already existed and was left alone\n", "")
        self.assertEqual({"use_Timer": 1}, registry("Mine"), "the user's own entry is kept")
        self.assertEqual({"use_Timer": 0}, registry("New"))
        self.check("replace", run("import", "-replace", windows_path(both)), 0,
                   "Imported 2 entries\n", "")
        self.assertEqual(dict.fromkeys(SEVEN, 0), registry("Mine"))

        foreign = self.file("foreign.reg", "REGEDIT4\r\n" + section("Other", {"use_Timer": 1}) +
                            "\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"use_Timer\"=dword:1\r\n")
        self.check("a foreign section", run("import", windows_path(foreign), "--add"), 3,
                   "Imported 1 entry; 1 section refused: HKEY_LOCAL_MACHINE\\Software\\X\n",
                   windows_path(foreign) + ": [HKEY_LOCAL_MACHINE\\Software\\X] is not a hook "
                   "settings entry; refused\n")
        self.assertNotEqual(0, wine("reg", "query", r"HKLM\Software\X").returncode)

        for case, path, err in (
                ("missing", self.file("missing.reg"), ": Could not read the import file: "),
                ("unreadable", self.folder, ": Could not read the import file: "),
                ("no hook settings", self.file("none.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER"
                                               "\\Software\\Y]\r\n\"a\"=dword:1\r\n"),
                 ": The file contains no hook settings.")):
            self.check(case, run("import", windows_path(path), "--replace"), 2, "",
                       (windows_path(path) + err,))
        self.assertEqual(["Mine", "New", "Other"], sorted(
            line.rsplit("\\", 1)[1] for line in wine("reg", "query", SETTINGS).stdout.split()
            if line.startswith("HKEY_CURRENT_USER\\")))

    def test_usage(self):
        reg = windows_path(self.file("x.reg"))
        for case, args, status in (("help", ["--help"], 0), ("help", ["/?"], 0),
                                   ("help", ["import", "-H"], 0),
                                   ("no command", [], 1), ("unknown", ["show"], 1),
                                   ("no option", ["import", reg], 1),
                                   ("both options", ["import", reg, "--add", "--replace"], 1),
                                   ("unknown option", ["import", reg, "--force"], 1),
                                   ("two files", ["export", reg, reg], 1)):
            got = run(*args)
            self.assertEqual(status, got[0], case)
            self.assertIn(USAGE_LINE, got[1] if status == 0 else got[2], case)
        self.assertFalse(os.path.exists(self.file("x.reg")), "no usage error touched a file")

        # A path the ANSI code page cannot hold is refused, never opened as "?".
        cyrillic = windows_path(self.file("\u041f\u0440\u043e\u0433.reg"))
        status, out, err = run("export", cyrillic)
        self.assertEqual(2, status, err)
        self.assertIn("cannot be written in this system's code page", err)
        self.assertEqual([], os.listdir(self.folder))


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
