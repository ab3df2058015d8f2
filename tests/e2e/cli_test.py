#!/usr/bin/env python3
"""The console program kmxhooks.exe under Wine's loader: each command's
standard output, standard error and exit status, and what it left in the
registry (Wine's `reg query`) and in the files. Runs in the suite's prefix
like the end-to-end tests.
"""
import os
import sys
import unittest

from e2e_test import KMXHOOKS, PREFIX, SEVEN, SETTINGS, PrefixCase, registry, wine, windows_path

HEADER = ("use_GetUpdateRect use_Timer use_KeyPress use_LButtonUp use_MButtonUp "
          "use_RButtonUp use_Deferral name\n")
USAGE = "  kmxhooks import FILE --add        adds the entries that do not exist yet"


def section(name, values):
    lines = ["", "[" + PREFIX + name + "]"]
    lines += ['"%s"=dword:%08x' % (value, data) for value, data in values.items()]
    return "\r\n".join(lines) + "\r\n"


class Cli(PrefixCase):
    def file(self, name, text=None):
        path = os.path.join(self.folder, name)
        if text is not None:
            with open(path, "wb") as f:
                f.write(text.encode("latin-1"))
        return path

    def read(self, name):
        with open(self.file(name), "rb") as f:
            return f.read()

    def expect(self, cases):
        """Each case: arguments, exit status, the whole standard output (None:
        not looked at) and a part of standard error ("": it is empty)."""
        for args, status, out, err in cases:
            result = wine(KMXHOOKS, *args)
            got = (result.returncode, result.stdout.replace("\r", ""),
                   result.stderr.replace("\r", ""))
            self.assertEqual(status, got[0], "%s\n%s%s" % (args, got[1], got[2]))
            if out is not None:
                self.assertEqual(out, got[1], args)
            self.assertTrue(err in got[2] if err else not got[2], "%s: %s" % (args, got[2]))

    def test_list(self):
        self.expect([(["list"], 0, HEADER, "")])
        # In the registry's order: names sorted without regard to case.
        self.seed({"Media Player.exe": {"use_GetUpdateRect": 1, "use_Timer": 0},
                   "b.exe": {**dict.fromkeys(SEVEN, 0), "use_KeyPress": 2, "use_Timer": "x"}})
        self.expect([(["LIST"], 0, HEADER +
                      "0                 -         2            0             0             "
                      "0             0            b.exe\n"
                      "1                 0         -            -             -             "
                      "-             -            Media Player.exe\n", "")])

    def test_export(self):
        out = windows_path(self.file("out.reg"))
        self.expect([(["export", out], 2, "", out + ": There are no hook settings to export.")])
        self.assertFalse(os.path.exists(self.file("out.reg")))
        self.seed({"A": dict.fromkeys(SEVEN, 1), "B b": {"use_Timer": 0, "use_Deferral": 2}})
        self.file("out.reg", "the user's old file")
        missing = windows_path(self.file(os.path.join("missing", "out.reg")))
        # Links are not tried here: Wine shows a symbolic link as a plain file,
        # where Windows shows a reparse point; the export's own tests report
        # one through its seam.
        self.expect([(["export", out], 0, "Exported 2 entries to " + out + "\n", ""),
                     (["export", missing], 2, "", missing + ": Could not write the export file: ")])
        self.assertEqual(("REGEDIT4\r\n" + section("A", dict.fromkeys(SEVEN, 1)) +
                          section("B b", {"use_Timer": 0, "use_Deferral": 2}) + "\r\n").encode(),
                         self.read("out.reg"))
        self.assertEqual(["out.reg", "seed.reg"], sorted(os.listdir(self.folder)))

    def test_import(self):
        self.seed({"Mine": {"use_Timer": 1}})
        both = windows_path(self.file("both.reg", "REGEDIT4\r\n" + section(
            "Mine", dict.fromkeys(SEVEN, 0)) + section("New", {"use_Timer": 0})))
        foreign = windows_path(self.file("foreign.reg", "REGEDIT4\r\n" + section(
            "Other", {"use_Timer": 1}) + "\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"a\"=dword:1\r\n"))
        none = windows_path(self.file("none.reg", "REGEDIT4\r\n\r\n[HKCU\\Y]\r\n\"a\"=dword:1\r\n"))
        self.expect([(["import", both, "/ADD"], 0,
                      "Imported 1 entry; 1 already existed and was left alone\n", "")])
        self.assertEqual({"use_Timer": 1}, registry("Mine"), "the user's own entry is kept")
        self.assertEqual({"use_Timer": 0}, registry("New"))
        unreadable = ": Could not read the import file: "
        self.expect([
            (["import", "-replace", both], 0, "Imported 2 entries\n", ""),
            (["import", foreign, "--add"], 3,
             "Imported 1 entry; 1 section refused: HKEY_LOCAL_MACHINE\\Software\\X\n",
             foreign + ": [HKEY_LOCAL_MACHINE\\Software\\X] is not a hook settings entry; refused"),
            (["import", windows_path(self.file("missing.reg")), "--add"], 2, "", unreadable),
            (["import", windows_path(self.folder), "--add"], 2, "", unreadable),
            (["import", none, "--add"], 2, "", none + ": The file contains no hook settings.")])
        self.assertEqual(dict.fromkeys(SEVEN, 0), registry("Mine"))
        self.assertNotEqual(0, wine("reg", "query", r"HKLM\Software\X").returncode)
        self.assertEqual(["Mine", "New", "Other"], sorted(
            line.rsplit("\\", 1)[1] for line in wine("reg", "query", SETTINGS).stdout.split()
            if line.startswith("HKEY_CURRENT_USER\\")))

    def test_usage(self):
        reg = windows_path(self.file("x.reg"))
        # A path the ANSI code page cannot hold is refused, never opened as "?".
        cyrillic = windows_path(self.file("\u041f\u0440\u043e\u0433.reg"))
        self.expect([([], 1, "", USAGE), (["show"], 1, "", USAGE), (["list", "x"], 1, "", USAGE),
                     (["export"], 1, "", USAGE), (["export", reg, reg], 1, "", USAGE),
                     (["import", reg], 1, "", USAGE), (["import", reg, "--add", "--replace"], 1, "", USAGE),
                     (["import", reg, "--force"], 1, "", USAGE),
                     (["export", cyrillic], 2, "", "cannot be written in this system's code page")])
        for args in (["--help"], ["/?"], ["import", "-H"]):
            result = wine(KMXHOOKS, *args)
            self.assertEqual((0, True), (result.returncode, USAGE in result.stdout), args)
        self.assertEqual([], os.listdir(self.folder), "no file touched")


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
