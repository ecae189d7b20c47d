#!/usr/bin/env python3
"""The package builder refuses tables that msibuild would store wrongly, and
leaves no package behind when it does.

Usage: build_package_test.py BUILDER MSIBUILD
"""

import os
import subprocess
import sys
import tempfile
import unittest

BUILDER, MSIBUILD = sys.argv[1], sys.argv[2]

BINARY = ("Name\tData\tExSource\r\ns72\tv0\tS255\r\nBinary\tName\r\n"
          "Download2\tMsiDownload2.dll\t\r\nInfoIcon\tInfo.ico\t\r\n")
SUMMARY = ("PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n"
           "1\t1252\r\n9\t{AE3E50E8-4583-4EC7-8B26-23698D61DCBD}\r\n13\t2010/03/14 09:13:10.518\r\n")
PROPERTY_HEAD = "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n"
SEQUENCE_HEAD = "Action\tCondition\tSequence\r\ns72\tS255\tI2\r\nInstallUISequence\tAction\r\n"


class Builder(unittest.TestCase):
    def build(self, tables, images=("Info.ico",)):
        work = tempfile.mkdtemp()
        os.makedirs(os.path.join(work, "tables"))
        os.makedirs(os.path.join(work, "images"))
        for name, text in tables.items():
            with open(os.path.join(work, "tables", name), "wb") as f:
                f.write(text.encode("latin-1"))
        for name in images:
            with open(os.path.join(work, "images", name), "wb") as f:
                f.write(b"icon")
        library = os.path.join(work, "MsiDownload2.dll")
        with open(library, "wb") as f:
            f.write(b"MZ library")
        output = os.path.join(work, "out", "download.msi")
        result = subprocess.run([sys.executable, BUILDER, "--tables", os.path.join(work, "tables"),
                                 "--images", os.path.join(work, "images"), "--library", library,
                                 "--output", output, "--msibuild", MSIBUILD], capture_output=True, text=True)
        return result, output

    def tables(self, **extra):
        tables = {"Binary.idt": BINARY, "_SummaryInformation.idt": SUMMARY,
                  "Property.idt": PROPERTY_HEAD + "ProductLanguage\t4105\r\n"}
        tables.update(extra)
        return tables

    def test_good_tables_build_a_package(self):
        result, output = self.build(self.tables())
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.isfile(output))
        self.assertEqual(os.listdir(os.path.dirname(output)), ["download.msi"], "no staging left behind")

    def test_faults_stop_the_build(self):
        cases = [
            ({"InstallUISequence.idt": SEQUENCE_HEAD + "CostInitialize\t\tabc\r\n"}, "not an integer"),
            ({"InstallUISequence.idt": SEQUENCE_HEAD + "CostInitialize\t\t40000\r\n"}, "beyond 2 bytes"),
            ({"InstallUISequence.idt": SEQUENCE_HEAD + "\t\t800\r\n"}, "may not be null"),
            ({"InstallUISequence.idt": SEQUENCE_HEAD + "A\t\t1\r\nA\t\t2\r\n"}, "repeats"),
            ({"InstallUISequence.idt": SEQUENCE_HEAD + "A" * 73 + "\t\t1\r\n"}, "wider than 72"),
            ({"InstallUISequence.idt": SEQUENCE_HEAD + "A\t\t1\t2\r\n"}, "3 columns"),
            ({"Property.idt": PROPERTY_HEAD + "ProductName\tOrvandel\xe9\r\n"}, "7-bit ASCII"),
            ({"Property.idt": "Property\tValue\r\ns72\tl0\r\nProperties\tProperty\r\n"}, "declares table"),
            ({"_SummaryInformation.idt": SUMMARY + "12\t23.08.2005\r\n"}, "summary time"),
        ]
        for tables, message in cases:
            with self.subTest(message):
                result, output = self.build(self.tables(**tables))
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(output))

    def test_a_missing_image_stops_the_build(self):
        result, output = self.build(self.tables(), images=())
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("no file", result.stderr)
        self.assertFalse(os.path.exists(output))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
