#!/usr/bin/env python3
"""The manifest of both builds, parsed as XML, and embedded byte for byte in
every program: Windows refuses to start a program whose manifest is not
well-formed, or that asks for the common controls of another architecture.
Needs no Wine, so it checks the 32-bit build also where it cannot run.
"""
import os
import sys
import unittest
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ASM1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM3 = "{urn:schemas-microsoft-com:asm.v3}"
WINDOWS_7_TO_11 = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                   "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


class Manifest(unittest.TestCase):
    def test_both_builds(self):
        for build, arch in (("x86", "x86"), ("x64", "amd64")):
            with open(os.path.join(ROOT, "build", build, "generated", "kmxhooks.manifest"), "rb") as f:
                text = f.read()
            for program in ("KMXHooksManager.exe", "kmxhooks.exe"):
                with open(os.path.join(ROOT, "build", build, "bin", program), "rb") as f:
                    self.assertTrue(text in f.read(), build + " " + program + " embeds it")
            root = ET.fromstring(text)  # raises on anything not well-formed
            self.assertEqual(ASM1 + "assembly", root.tag)
            controls = root.find(ASM1 + "dependency/" + ASM1 + "dependentAssembly/" +
                                 ASM1 + "assemblyIdentity")
            self.assertEqual([arch, "Microsoft.Windows.Common-Controls", "6.0.0.0", arch],
                             [root.find(ASM1 + "assemblyIdentity").get("processorArchitecture"),
                              controls.get("name"), controls.get("version"),
                              controls.get("processorArchitecture")], build)
            level = root.find(ASM3 + "trustInfo/" + ASM3 + "security/" + ASM3 +
                              "requestedPrivileges/" + ASM3 + "requestedExecutionLevel")
            self.assertEqual(("asInvoker", "false"), (level.get("level"), level.get("uiAccess")))
            self.assertEqual(WINDOWS_7_TO_11, {e.get("Id") for e in root.iter(
                "{urn:schemas-microsoft-com:compatibility.v1}supportedOS")})


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
