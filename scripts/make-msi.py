#!/usr/bin/env python3
"""make-msi.py ARCH VERSION FOLDER OUTPUT: builds the Windows Installer
package of one architecture (x86 or x64) with wixl from
packaging/kmxhooks.wxs.in and the files in FOLDER (both programs of that
architecture, README.txt, LICENSE.txt, sample-settings.reg).

The codes are never random: the ProductCode comes from the version and the
architecture, so one version rebuilt is the same product; the PackageCode
from the package's own bytes, so a changed package never shares one (the
installer caches packages by it). wixl writes a random PackageCode and the
build time into the summary information; both are put right here, and the
times are SOURCE_DATE_EPOCH's, as are the files' times in the cabinet.
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import uuid

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Fixed for ever: a new one would make Windows Installer see another product
# and install beside the old one instead of upgrading it.
UPGRADE_CODES = {"x86": "EF7F9F8F-0694-40AB-9519-A784E3FDECC3",
                 "x64": "5CE45063-72ED-42F8-B898-A82F02A2C127"}
# The namespace of every derived code of this program.
NAMESPACE = uuid.UUID("4CBFA180-8602-4928-BD39-35F66288EAC9")
COMPONENTS = ["DialogProgram", "ConsoleProgram", "UsersReadme", "Licence", "Sample",
              "MenuShortcut"]
FILES = ["KMXHooksManager.exe", "kmxhooks.exe", "README.txt", "LICENSE.txt",
         "sample-settings.reg"]


def code(name):
    return str(uuid.uuid5(NAMESPACE, name)).upper()


def filetime(epoch):
    """SOURCE_DATE_EPOCH as the 8 bytes of a Windows FILETIME."""
    return ((epoch + 11644473600) * 10000000).to_bytes(8, "little")


def fix_summary(package, epoch):
    """The PackageCode and the two times of the summary information, in
    place: the stream is rewritten byte for byte, its length unchanged."""
    with open(package, "rb") as f:
        data = bytearray(f.read())
    # PID_REVNUMBER: VT_LPSTR, 39 bytes, a braced GUID and its NUL.
    found = list(re.finditer(rb"\x1e\x00\x00\x00\x27\x00\x00\x00(\{[0-9A-F-]{36}\})\x00", data))
    if len(found) != 1:
        sys.exit("make-msi.py: the package's summary information was not found once "
                 "(%d times); wixl may have changed" % len(found))
    start, end = found[0].span(1)
    # The two FILETIMEs (creation, last save) follow the GUID.
    times = [m.start() + 4 for m in re.finditer(rb"\x40\x00\x00\x00", bytes(data[end:end + 64]))]
    if len(times) < 2:
        sys.exit("make-msi.py: the package's summary times were not found")
    for offset in times[:2]:
        data[end + offset:end + offset + 8] = filetime(epoch)
    data[start:end] = b"{" + b"0" * 36 + b"}"
    digest = hashlib.sha256(bytes(data)).digest()
    package_code = str(uuid.UUID(bytes=digest[:16], version=4)).upper()
    data[start:end] = ("{%s}" % package_code).encode()
    with open(package, "wb") as f:
        f.write(data)
    return package_code


def main():
    arch, version, folder, output = sys.argv[1:5]
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)
    values = {
        "VERSION": version,
        "ARCH": arch,
        "PRODUCT_CODE": code("product/%s/%s" % (version, arch)),
        "UPGRADE_CODE": UPGRADE_CODES[arch],
        "PROGRAM_FILES": "ProgramFiles64Folder" if arch == "x64" else "ProgramFilesFolder",
        "WIN64": "yes" if arch == "x64" else "no",
    }
    for component in COMPONENTS:
        values["GUID_" + component] = code("component/%s/%s" % (arch, component))
    with open(os.path.join(ROOT, "packaging", "kmxhooks.wxs.in")) as f:
        source = re.sub(r"@([A-Za-z0-9_]+)@", lambda m: values[m.group(1)], f.read())
    with tempfile.TemporaryDirectory() as work:
        for name in FILES:
            shutil.copyfile(os.path.join(folder, name), os.path.join(work, name))
        shutil.copyfile(os.path.join(ROOT, "res", "kmxhooks.ico"), os.path.join(work, "kmxhooks.ico"))
        for name in FILES + ["kmxhooks.ico"]:
            os.utime(os.path.join(work, name), (epoch, epoch))
        with open(os.path.join(work, "kmxhooks.wxs"), "w") as f:
            f.write(source)
        built = os.path.join(work, "package.msi")
        # wixl orders its string pool by addresses of its own: without address
        # randomisation, and in the same small environment, it writes the
        # same bytes every time.
        wixl = ["wixl", "-a", arch, "-o", built, "kmxhooks.wxs"]
        env = {"PATH": "/usr/bin:/bin", "LC_ALL": "C"}
        result = subprocess.run(["setarch", "-R", *wixl], cwd=work, capture_output=True,
                                text=True, env=env)
        if result.returncode != 0 and "setarch" in result.stderr:
            print("make-msi.py: address randomisation cannot be turned off here (%s); the %s "
                  "package may differ from another build of the same commit"
                  % (result.stderr.strip(), arch))
            result = subprocess.run(wixl, cwd=work, capture_output=True, text=True, env=env)
        if result.returncode != 0:
            sys.stderr.write(result.stdout + result.stderr)
            sys.exit("make-msi.py: wixl failed for the %s package" % arch)
        fix_summary(built, epoch)
        shutil.copyfile(built, output)


if __name__ == "__main__":
    main()
