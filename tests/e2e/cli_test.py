#!/usr/bin/env python3
"""The console program kmxhooks.exe under Wine's loader: each command's
standard output, standard error and exit status, and what it left in the
registry (Wine's `reg query`) and in the files. Runs in the suite's prefix
like the end-to-end tests.
"""
import contextlib
import csv
import io
import os
import pty
import subprocess
import sys
import unittest

from e2e_test import (BUILD, ENV, KMXHOOKS, PREFIX, SEVEN, SETTINGS, WINE, PrefixCase, registry,
                      server_running, wine, windows_path)

HEADER = ("use_GetUpdateRect use_Timer use_KeyPress use_LButtonUp use_MButtonUp "
          "use_RButtonUp use_Deferral name\n")
USAGE = "  kmxhooks import FILE --add        adds the entries that do not exist yet"


def section(name, values):
    lines = ["", "[" + PREFIX + name + "]"]
    lines += ['"%s"=dword:%08x' % (value, data) for value, data in values.items()]
    return "\r\n".join(lines) + "\r\n"


def raw_section(name, *lines):
    return "\r\n".join(["", "[" + PREFIX + name + "]", *lines]) + "\r\n"


def list_line(name, values):
    return "".join(str(values.get(n, "-")).ljust(len(n)) + " " for n in SEVEN) + name + "\n"


def entries():
    """The entries' names as Wine's reg.exe lists them."""
    listing = wine("reg", "query", SETTINGS).stdout.splitlines()
    return sorted(line.rsplit("\\", 1)[1] for line in listing
                  if line.startswith("HKEY_CURRENT_USER\\"))


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

    def run_program(self, *args, cwd=None):
        """Exit status, standard output and standard error as bytes."""
        result = subprocess.run([WINE, KMXHOOKS, *args], env=ENV, cwd=cwd,
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        return result.returncode, result.stdout, result.stderr

    def run_on_terminal(self, *args):
        """Exit status and what a pseudo-terminal showed (UTF-8, with escapes)
        of a Windows program, which Wine gives a console there."""
        master, slave = pty.openpty()
        process = subprocess.Popen([WINE, *args], env=ENV, stdin=slave, stdout=slave,
                                   stderr=slave)
        os.close(slave)
        shown = b""
        with contextlib.suppress(OSError):  # EIO once the program has ended
            for chunk in iter(lambda: os.read(master, 4096), b""):
                shown += chunk
        os.close(master)
        return process.wait(timeout=60), shown

    def expect(self, cases, cwd=None):
        """Each case: arguments, exit status, the whole standard output (None:
        not looked at) and a part of standard error ("": it is empty), or a
        list of every line it must hold, in order."""
        for args, status, out, err in cases:
            code, stdout, stderr = self.run_program(*args, cwd=cwd)
            got = (code, stdout.decode("cp437").replace("\r", ""),
                   stderr.decode("cp437").replace("\r", ""))
            self.assertEqual(status, got[0], "%s\n%s%s" % (args, got[1], got[2]))
            if out is not None:
                self.assertEqual(out, got[1], args)
            if isinstance(err, list):
                self.assertEqual(err, got[2].splitlines(), args)
            else:
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
                     (["export", ""], 1, "", "an empty one was given"),
                     # An argument beginning with / or - is an option, never a file.
                     (["export", "/y"], 1, "", "Unknown option for export: /y"),
                     (["export", "-x"], 1, "", "Unknown option for export: -x"),
                     (["export", reg, "--add"], 1, "", "Unknown option for export: --add"),
                     (["import", "/s", reg, "--add"], 1, "", "Unknown option for import: /s"),
                     (["list", "--what-if"], 1, "", USAGE),
                     (["import", reg, "--add", "--what-if", "/WHAT-IF"], 1, "", "given twice"),
                     (["export", cyrillic], 2, "", "cannot be written in this system's code page"),
                     (["defaults", "remove", reg], 1, "", "defaults remove takes nothing more"),
                     (["defaults", "--what-if"], 1, "", USAGE),
                     # Every user's logon would run this copy, which users may replace.
                     (["defaults", "set", reg], 2, "", "which is not in a Program Files folder")],
                    cwd=self.folder)
        for args in (["--help"], ["/?"], ["import", "-H"]):
            result = wine(KMXHOOKS, *args)
            self.assertEqual((0, True), (result.returncode, USAGE in result.stdout), args)
        self.assertEqual([], os.listdir(self.folder), "no file touched")

    def test_counts_are_true(self):
        """An entry counts only when its key holds what the file gives it; a
        text the import does not take is skipped and named, never stored.
        Tried first with --what-if: the same report and status, no write."""
        self.seed({"Kept": {"use_Timer": 7}})
        none = "holds no hook setting as a dword value; not imported"
        table = [("Empty", [], "has no values, or names an entry outside this system's code "
                               "page; not imported"),
                 ("Hex", ['"use_Timer"=hex(4):01,00,00,00'], none),
                 ("Str", ['"use_Timer"="dword:00000001"'], none), ("Del", ['"use_Timer"=-'], none),
                 ("Kept", ['"use_Timer"=dword:'], none),
                 ("Mixed", ['"use_Timer"=dword: 1', '"use_KeyPress"=dword:',
                            '"use_Deferral"=dword:123456789',
                            '"use_GetUpdateRect"=dword:00000001'], None)]
        text = "REGEDIT4\r\n" + "".join(raw_section(name, *body) for name, body, _ in table)
        f = windows_path(self.file("mixed.reg", text + "\r\n[" + PREFIX[:-1] + "]\r\n"))
        lines = ["%s: [%s%s] %s" % (f, PREFIX, name, why) for name, _, why in table if why]
        lines += ["%s: [%s%s] %s is not a dword value; skipped" % (f, PREFIX, name, line)
                  for name, body, _ in table for line in body
                  if not line.endswith("01")]  # all but the one good value
        summary = "1 entry; 5 sections refused; 7 values skipped"
        self.expect([(["import", f, "/Replace", "-what-if"], 3,
                      "Would import " + summary + "; nothing was written (a key the registry "
                      "refuses shows only in a real run)\n", lines)])
        self.assertEqual(["Kept"], entries())
        empty = windows_path(self.file("empty.reg", "REGEDIT4\r\n" + raw_section("Empty")))
        self.expect([(["import", f, "--replace"], 3, "Imported " + summary + "\n", lines),
                     (["import", empty, "--add"], 2,
                      "Imported 0 entries; 1 section refused: " + PREFIX + "Empty\n", "has no values")])
        self.assertEqual({"use_GetUpdateRect": 1}, registry("Mixed"))
        self.assertEqual({"use_Timer": 7}, registry("Kept"))
        self.assertEqual(["Kept", "Mixed"], entries())

    def test_files_of_the_platform_and_foreign_sections(self):
        """A `reg export` of the parent key imports without a word; a whole
        profile's foreign sections are named twenty at a time; an entry that
        UTF-16 names outside the code page is refused, not counted."""
        self.seed({"notepad.exe": {"use_Timer": 1}, "With Space": {"use_Deferral": 0}})
        exported = self.file("qbl.reg")
        wine("reg", "export", r"HKCU\Software\QBL", windows_path(exported), "/y")
        wine("reg", "delete", r"HKCU\Software\QBL", "/f")
        def foreign(count):
            return "REGEDIT4\r\n" + "".join(
                "\r\n[HKEY_CURRENT_USER\\Other\\%d]\r\n\"a\"=dword:1\r\n" % i
                for i in range(count)) + section("Late", {"use_Timer": 1})
        profile = windows_path(self.file("profile.reg", foreign(100)))
        wide = self.file("wide.reg")
        with open(wide, "wb") as out:
            out.write("\ufeffWindows Registry Editor Version 5.00\r\n".encode("utf-16-le") +
                      (section("\u65e5\u672c.exe", {"use_Timer": 1}) +
                       section("\u0141\u00f3d\u017a.exe", {"use_Timer": 1})).encode("utf-16-le"))
        first = "%s: [HKEY_CURRENT_USER\\Other\\0] is not a hook settings entry; refused" % profile
        self.expect([
            (["import", windows_path(exported), "--replace"], 0, "Imported 2 entries\n", ""),
            (["import", profile, "--add"], 3, "Imported 1 entry; 100 sections refused\n", first),
            (["import", windows_path(wide), "--add"], 2,
             "Imported 0 entries; 2 sections refused\n", "outside this system's code page")])
        self.assertEqual({"use_Timer": 1}, registry("notepad.exe"))
        self.assertEqual(["Late", "With Space", "notepad.exe"], entries())
        # Twenty problems named, then how many more: none said at exactly twenty.
        for count, last in ((20, "[HKEY_CURRENT_USER\\Other\\19]"), (21, "(and 1 more)"),
                            (100, "(and 80 more)")):
            f = windows_path(self.file("f.reg", foreign(count)))
            lines = self.run_program("import", f, "--replace")[2].decode("cp437").splitlines()
            self.assertEqual((min(count, 21), True), (len(lines), last in lines[-1]), count)

    def test_server_warning_only_when_something_was_written(self):
        with server_running():
            f = windows_path(self.file("in.reg", "REGEDIT4\r\n" + section("A", {"use_Timer": 1})))
            warning = "Warning: Brevant server is currently running!"
            self.expect([(["import", f, "--add", "--what-if"], 0, "Would import 1 entry; nothing "
                          "was written (a key the registry refuses shows only in a real run); the "
                          "server is running, which the import would warn of\n", ""),
                         (["import", f, "--add"], 0, "Imported 1 entry\n", warning),
                         (["import", f, "--add"], 0,
                          "Imported 0 entries; 1 already existed and was left alone\n", "")])

    def test_output_for_scripts(self):
        """Redirected output is in the console's output code page (OEM 437
        here), and `list --csv` reads back as CSV, one row per entry."""
        seed = self.file("seed.reg", "REGEDIT4\r\n" + section("W\u00e9rd.exe", {"use_Timer": 1}) +
                         raw_section('a,"b".exe', '"use_Deferral"=dword:0000002a'))
        wine("regedit", "/s", windows_path(seed))
        code, out, err = self.run_program("list")
        self.assertEqual((0, b""), (code, err))
        self.assertIn(b"W\x82rd.exe\r\n", out)
        # With a console, redirected output takes the console's code page
        # (chcp 1252: 0xE9), not the OEM one.
        out = windows_path(self.file("chcp.txt"))
        self.run_on_terminal("cmd", "/c", "chcp 1252 >nul & %s list > %s"
                             % (windows_path(KMXHOOKS), out))
        self.assertIn(b"W\xe9rd.exe\r\n", self.read("chcp.txt"))
        code, out, err = self.run_program("list", "/CSV")
        self.assertEqual((0, b""), (code, err))
        rows = list(csv.reader(io.StringIO(out.decode("cp437"), newline="")))
        self.assertEqual([["name", *SEVEN], ['a,"b".exe', "", "", "", "", "", "", "42"],
                          ["W\u00e9rd.exe", "", "1", "", "", "", "", ""]], rows)
        with open(os.path.join(BUILD, "version.txt")) as f:
            self.expect([(["--version"], 0, "kmxhooks %s\n" % f.read().strip(), "")])

    def test_every_status_a_script_acts_on(self):
        wine("reg", "add", SETTINGS, "/f")
        out = windows_path(self.file("out.reg"))
        self.expect([(["export", out], 2, "", out + ": There are no hook settings to export.")])
        self.assertFalse(os.path.exists(self.file("out.reg")), "an empty key writes no file")
        # A name made by a Unicode program that this code page cannot hold.
        wine("reg", "add", SETTINGS + "\\\u041f\u0440.exe", "/f")
        self.seed({"A": {"use_Timer": 1}})
        own = windows_path(self.file("own.reg", "REGEDIT4\r\n[" + PREFIX[:-1] + "]\r\n" +
                                     section("B", {"use_Timer": 0})))
        none = windows_path(self.file("none.reg", "REGEDIT4\r\n\"use_Timer\"=dword:1\r\n"))
        self.expect([
            (["list"], 3, HEADER + list_line("A", {"use_Timer": 1}), "Entry not listed"),
            (["export", out], 3, "Exported 1 entry to %s; 1 entry left out\n" % out,
             "entry left out, its name cannot be written in this system's code page"),
            (["import", own, "--add"], 0, "Imported 1 entry\n", ""),
            (["import", none, "--add"], 2, "", "The file contains no registry settings.")])
        # A bare name is looked for in the current folder, not the Windows one.
        self.expect([(["export", "bare.reg"], 3, None, "left out")], cwd=self.folder)
        self.assertTrue(os.path.exists(self.file("bare.reg")))

    def test_what_if_is_the_real_run_less_the_writes(self):
        """Joined files and one entry in two letter cases are counted once, the
        later section named; the longest name imports. Each file is tried
        with --what-if first: the same lines and status, nothing written."""
        base = section("Twice.exe", {"use_Timer": 1})
        longest, over = "L" * 255, "M" * 256
        repeated = "names an entry that an earlier section of the file names; only the first " \
                   "section was read"
        filler = '"filler"="%s"' % ("x" * 1100)  # past the reader's first buffer
        table = [  # file text, option, summary, status, standard error's lines
            ("REGEDIT4\r\n" + section("App.exe", {"use_Timer": 1}) + "REGEDIT4\r\n" +
             section("APP.EXE", {"use_KeyPress": 1}),
             "--add", "1 entry; 1 section refused: %sAPP.EXE" % PREFIX, 3,
             ["[%sAPP.EXE] %s" % (PREFIX, repeated)]),
            ("REGEDIT4\r\n" + base + base, "--replace",
             "1 entry; 1 section refused: %sTwice.exe" % PREFIX, 3,
             ["[%sTwice.exe] %s" % (PREFIX, repeated)]),
            ("REGEDIT4\r\n" + raw_section("Long", filler, '"use_Timer"=dword:00000001') +
             "\r\n[HKEY_CURRENT_USER\\Software\\QBL]\r\n\"a\"=dword:1\r\n", "--add",
             "1 entry; 1 section refused: HKEY_CURRENT_USER\\Software\\QBL", 3,
             ["[HKEY_CURRENT_USER\\Software\\QBL] is not a hook settings entry; refused"]),
            ("REGEDIT4\r\n" + section(longest, {"use_Timer": 1}) + section(over, {"use_Timer": 1}),
             "--replace", "1 entry; 1 section refused: " + PREFIX + over, 3,
             ["[%s%s] names an entry too long for this program (255 characters, 260 bytes); "
              "not imported" % (PREFIX, over)])]
        # Each row names entries of its own, which the real run of an earlier
        # row cannot have made.
        for text, option, summary, status, lines in table:
            f = windows_path(self.file("in.reg", text))
            err = [f + ": " + line for line in lines]
            before = entries()
            self.expect([(["import", f, option, "--what-if"], status, "Would import " + summary +
                          "; nothing was written (a key the registry refuses shows only in a "
                          "real run)\n", err)])
            self.assertEqual(before, entries(), "the what-if wrote nothing")
            self.expect([(["import", f, option], status, "Imported " + summary + "\n", err)])
        # The longest name is an entry like any other.
        self.assertEqual(["App.exe", longest, "Long", "Twice.exe"], entries())

    def test_names_as_they_are_for_scripts(self):
        """Leading and trailing blanks survive PowerShell's CSV reader; a name
        that redirected output would change (best fit, or no form at all in
        OEM 437) is left out of the rows and named, never listed as another."""
        seed = self.file("seed.reg")
        with open(seed, "wb") as f:
            f.write(("REGEDIT4\r\n" + "".join(
                section(n, {"use_Timer": 1}) for n in
                (" lead.exe", "lead.exe", "trail.exe  ", "Sapp.exe", "\u0160app.exe",
                 "\u20acuro.exe", "a,b.exe"))).encode("cp1252"))
        wine("regedit", "/s", windows_path(seed))
        named = ["Entry not listed: its name cannot be written in the output's code page (437): "
                 + n for n in ("[U+0160]app.exe", "[U+20AC]uro.exe")]
        code, out, err = self.run_program("list", "--csv")
        self.assertEqual((3, named), (code, err.decode("ascii").splitlines()))
        rows = list(csv.reader(io.StringIO(out.decode("cp437"), newline=""),
                               skipinitialspace=True))
        self.assertEqual(["name", " lead.exe", "a,b.exe", "lead.exe", "Sapp.exe", "trail.exe  "],
                         [row[0] for row in rows])
        self.assertIn(b'"trail.exe  ",', out)
        code, out, err = self.run_program("list")
        self.assertEqual((3, named), (code, err.decode("ascii").splitlines()))
        self.assertEqual(6, len(out.splitlines()), out)
        # A console (Wine gives one to a program on a terminal) shows every name.
        code, out = self.run_on_terminal(KMXHOOKS, "list")
        self.assertEqual((0, True, True), (code, "\u0160app.exe".encode() in out,
                                           "\u20acuro.exe".encode() in out))
        # Every entry left out of an export: the old file keeps its bytes.
        wine("reg", "delete", r"HKCU\Software\QBL", "/f")
        wine("reg", "add", SETTINGS + "\\trail.exe ", "/f")
        backup = self.file("backup.reg", "a good backup")
        self.expect([(["export", windows_path(backup)], 2, "",
                      [windows_path(backup) + ": entry left out, its name ends in a blank or "
                       "another character that a registry file does not keep: trail.exe ",
                       windows_path(backup) + ": Every entry was left out; the file was not "
                       "written."])])
        self.assertEqual(b"a good backup", self.read("backup.reg"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
