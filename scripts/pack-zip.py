#!/usr/bin/env python3
"""pack-zip.py ZIP FOLDER FILE...: packs FILEs (paths inside FOLDER) into ZIP
in the order given, each with the time of SOURCE_DATE_EPOCH and fixed
permissions, and nothing of the machine (owner, build time): one commit
packed anywhere gives the same bytes."""
import os
import sys
import time
import zipfile


def main():
    target, folder, names = sys.argv[1], sys.argv[2], sys.argv[3:]
    # Zip times are local times of 1980 or later, kept here in UTC.
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)
    stamp = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(target + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as out:
        for name in names:
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, so that the modes below count
            executable = name.endswith(".exe")
            entry.external_attr = (0o100755 if executable else 0o100644) << 16
            with open(os.path.join(folder, name), "rb") as f:
                out.writestr(entry, f.read())
    os.replace(target + ".part", target)


if __name__ == "__main__":
    main()
