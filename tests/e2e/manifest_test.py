#!/usr/bin/env python3
"""The manifest embedded in every shipped program of both builds, parsed as
XML: Windows refuses to start a program whose manifest is not well-formed,
or that asks for the common controls of another architecture. Needs no Wine,
so it checks the 32-bit build also where it cannot run.
"""
import os
import struct
import sys
import unittest
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAMS = ["KMXHooksManager.exe", "kmxhooks.exe"]
ARCHES = {0x14C: "x86", 0x8664: "amd64"}  # the PE machine field
ASM1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_7_TO_11 = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                   "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def manifest_of(path):
    """(architecture, manifest bytes): resource type 24, id 1, first language."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            size, address, _, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            if address <= rva < address + max(size, 1):
                return rva - address + raw
        raise AssertionError("no section holds RVA %x" % rva)

    base = offset(resource_rva)

    def entry(directory, wanted=None):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            if wanted is None or name == wanted:
                return target & 0x7FFFFFFF
        raise AssertionError("no resource entry %s" % wanted)

    leaf = entry(entry(entry(0, 24), 1))
    rva, size = struct.unpack_from("<II", data, base + leaf)
    return ARCHES[machine], data[offset(rva):offset(rva) + size]


class Manifest(unittest.TestCase):
    def test_every_program_of_both_builds(self):
        checked = 0
        for build in ("x86", "x64"):
            for program in PROGRAMS:
                path = os.path.join(ROOT, "build", build, "bin", program)
                if not os.path.exists(path):
                    continue
                arch, text = manifest_of(path)
                self.assertEqual({"x86": "x86", "x64": "amd64"}[build], arch, path)
                root = ET.fromstring(text)  # raises on anything not well-formed
                self.assertEqual(ASM1 + "assembly", root.tag, path)
                identity = root.find(ASM1 + "assemblyIdentity")
                self.assertEqual(arch, identity.get("processorArchitecture"), path)
                controls = root.find(ASM1 + "dependency/" + ASM1 + "dependentAssembly/" +
                                     ASM1 + "assemblyIdentity")
                self.assertEqual(("Microsoft.Windows.Common-Controls", "6.0.0.0", arch),
                                 (controls.get("name"), controls.get("version"),
                                  controls.get("processorArchitecture")), path)
                level = root.find(ASM3 + "trustInfo/" + ASM3 + "security/" + ASM3 +
                                  "requestedPrivileges/" + ASM3 + "requestedExecutionLevel")
                self.assertEqual(("asInvoker", "false"), (level.get("level"), level.get("uiAccess")),
                                 path)
                self.assertEqual(WINDOWS_7_TO_11, {os.get("Id") for os in root.iter(
                    COMPAT + "supportedOS")}, path)
                checked += 1
        self.assertEqual(4, checked, "both programs of both builds")


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
