#!/usr/bin/env python3
"""The Windows Installer package under Wine's msiexec, in a throwaway prefix:
a silent install, the machine-wide defaults given to a user as Active Setup
gives them at logon, an upgrade in place, a refused downgrade and an
uninstall that leaves nothing of the package and keeps the user's settings.
Two packages are built from the 64-bit programs: the build's version, and
one whose minor version is one higher with a changed README.txt.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from e2e_test import BUILD, ROOT, SETTINGS, WINE

PROGRAMS = os.path.join(BUILD, "bin")
NAME = "KMX Hooks Manager"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
ACTIVE_SETUP = (r"HKLM\Software\Microsoft\Active Setup\Installed Components"
                r"\{6039F249-0F44-4829-96D4-96B786B14FE9}")


class Package(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="kmx-msi-")
        self.env = dict(os.environ, WINEPREFIX=os.path.join(self.work, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", WINELOADER=WINE)
        with open(os.path.join(BUILD, "version.txt")) as f:
            self.old = f.read().strip()
        fields = self.old.split(".")
        # Windows Installer compares only the first three fields.
        self.new = ".".join([fields[0], str(int(fields[1]) + 1)] + fields[2:])
        self.packages = {v: self.build(v, extra) for v, extra in
                         ((self.old, ""), (self.new, "\nThe newer version.\n"))}
        self.run_wine("wineboot", "-i")

    def tearDown(self):
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=self.env)
        shutil.rmtree(self.work)

    def build(self, version, readme_extra):
        files = os.path.join(self.work, "files-" + version)
        os.makedirs(files)
        for source in (os.path.join(PROGRAMS, "KMXHooksManager.exe"),
                       os.path.join(PROGRAMS, "kmxhooks.exe"),
                       os.path.join(ROOT, "examples", "sample-settings.reg")):
            shutil.copy(source, files)
        shutil.copy(os.path.join(ROOT, "LICENSE"), os.path.join(files, "LICENSE.txt"))
        with open(os.path.join(ROOT, "docs", "README.txt")) as f:
            readme = f.read() + readme_extra
        with open(os.path.join(files, "README.txt"), "w") as f:
            f.write(readme)
        package = os.path.join(self.work, "kmx-%s.msi" % version)
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make-msi.py"), "x64",
                        version, files, package], check=True)
        return "Z:" + package.replace("/", "\\")

    def run_wine(self, *args):
        return subprocess.run([WINE, *args], env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=120)

    def drive_c(self, *parts):
        return os.path.join(self.work, "prefix", "drive_c", *parts)

    def msiexec(self, *args):
        return self.run_wine("msiexec", *args, "/qn").returncode

    def query(self, key, *args):
        result = self.run_wine("reg", "query", key, *args)
        return result.stdout.replace("\r", "") if result.returncode == 0 else None

    def entries(self):
        """The Add/Remove Programs entries of the product, each as reg.exe lists it."""
        return [block for block in (self.query(UNINSTALL, "/s") or "").split("\n\n")
                if "DisplayName    REG_SZ    %s\n" % NAME in block + "\n"]

    def shortcuts(self):
        # Windows puts a per-machine package's shortcut into the all-users
        # menu; Wine 8 resolves ProgramMenuFolder to the installing user's
        # even in the machine context, so both places are looked at.
        menus = [self.drive_c("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs")]
        users = self.drive_c("users")
        menus += [os.path.join(users, u, "AppData", "Roaming", "Microsoft", "Windows",
                               "Start Menu", "Programs") for u in os.listdir(users)]
        return [m for m in menus if os.path.exists(os.path.join(m, NAME + ".lnk"))]

    def test_install_defaults_upgrade_downgrade_uninstall(self):
        folder = self.drive_c("Program Files", NAME)
        self.assertEqual(0, self.msiexec("/i", self.packages[self.old]))
        self.assertEqual(["KMXHooksManager.exe", "LICENSE.txt", "README.txt", "kmxhooks.exe",
                          "sample-settings.reg"], sorted(os.listdir(folder)))
        self.assertEqual(1, len(self.shortcuts()))
        entry, = self.entries()
        for line in ("DisplayVersion    REG_SZ    " + self.old, "Publisher    REG_SZ    QBL",
                     "NoModify    REG_DWORD    0x1"):
            self.assertIn(line, entry)
        # Windows Installer shows the icon ARPPRODUCTICON names; Wine 8 writes
        # no DisplayIcon, so the package's own tables are read instead.
        package = "/" + self.packages[self.old][3:].replace("\\", "/")
        # (msiinfo writes a table's streams into a folder beside it.)
        properties = subprocess.run(["msiinfo", "export", package, "Property"], cwd=self.work,
                                    capture_output=True, text=True).stdout
        icons = subprocess.run(["msiinfo", "export", package, "Icon"], cwd=self.work,
                               capture_output=True, text=True).stdout
        self.assertIn("ARPPRODUCTICON\tkmxhooks.ico", properties)
        self.assertIn("kmxhooks.ico\t", icons)
        # Installed for the machine (ALLUSERS=1), not for the installing user.
        self.assertIsNotNone(self.query(r"HKLM\Software\Classes\Installer\Products"))
        self.assertIsNone(self.query(r"HKCU\Software\Microsoft\Installer\Products"))

        # The defaults, as every user gets them at logon: the registered
        # command line started whole, without a shell, as the user.
        installed = r"C:\Program Files\%s\kmxhooks.exe" % NAME
        self.run_wine("reg", "add", SETTINGS + r"\Calc.exe", "/v", "use_Timer", "/t", "REG_DWORD",
                      "/d", "7", "/f")
        self.assertEqual(0, self.run_wine(installed, "defaults", "set",
                                          r"C:\Program Files\%s\sample-settings.reg" % NAME)
                         .returncode)
        stub = self.query(ACTIVE_SETUP, "/v", "StubPath").split("REG_SZ    ", 1)[1].strip()
        # 3: the sample holds a string value, which the import skips and names.
        self.assertEqual(3, self.run_wine(os.path.join(PROGRAMS, "probe.exe"), "run", stub)
                         .returncode)
        self.assertIn("0x7", self.query(SETTINGS + r"\Calc.exe", "/v", "use_Timer"),
                      "the user's own entry is left alone")
        self.assertIn("0x1", self.query(SETTINGS + r"\notepad.exe", "/v", "use_GetUpdateRect"))

        # A newer version replaces the older one in place.
        self.assertEqual(0, self.msiexec("/i", self.packages[self.new]))
        entry, = self.entries()
        self.assertIn("DisplayVersion    REG_SZ    " + self.new, entry)
        with open(os.path.join(folder, "README.txt")) as f:
            self.assertIn("The newer version.", f.read())
        # The older one over it is refused (1603), and changes nothing.
        self.assertNotEqual(0, self.msiexec("/i", self.packages[self.old]))
        self.assertEqual([self.new], [e.split("DisplayVersion    REG_SZ    ")[1].split()[0]
                                      for e in self.entries()])

        self.assertEqual(0, self.msiexec("/x", self.packages[self.new]))
        self.assertFalse(os.path.exists(folder))
        self.assertEqual([], self.shortcuts())
        self.assertEqual([], self.entries())
        self.assertIsNone(self.query(r"HKLM\Software\QBL"))
        self.assertIsNone(self.query(ACTIVE_SETUP), "the defaults' registration goes too")
        self.assertFalse(os.path.exists(self.drive_c("ProgramData", NAME)))
        self.assertIn("0x7", self.query(SETTINGS + r"\Calc.exe", "/v", "use_Timer"),
                      "the users' settings stay")


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
