"""make dist's packaging (cmake/dist.cmake): both archives with the program,
the Windows text and the licence, named after the version block, and checksums
that match them and make deb's package beside."""

import hashlib
import os
import re
import subprocess
import tempfile
import unittest
import zipfile

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def version_block():
    with open(os.path.join(TOP, "res", "korvel.rc")) as f:
        numbers = re.search(r"^\s*FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", f.read(), re.M)
    return ".".join(numbers.groups())


class DistTest(unittest.TestCase):
    def test_each_build_is_packed_with_its_texts_and_checksummed_with_the_package_beside(self):
        with tempfile.TemporaryDirectory() as work:
            builds = {}
            for flavour in ("win32", "win64"):
                for folder, program in (("app", "korvel.exe"), ("cli", "korvel-program.exe")):
                    os.makedirs(os.path.join(work, flavour, folder))
                    with open(os.path.join(work, flavour, folder, program), "wb") as f:
                        f.write(b"MZ %s for %s" % (program.encode(), flavour.encode()))
                builds[flavour] = os.path.join(work, flavour)
            out = os.path.join(work, "dist")
            # What make deb left there, and archives of an earlier version.
            os.makedirs(out)
            deb = "korvel-program_%s_amd64.deb" % version_block()
            for name in (deb, "korvel-0.9.0.0-win32.zip", "korvel-0.9.0.0-win64.zip"):
                with open(os.path.join(out, name), "wb") as f:
                    f.write(name.encode())
            subprocess.run(["cmake", "-DSOURCE_DIR=" + TOP, "-DWIN32_BUILD=" + builds["win32"],
                            "-DWIN64_BUILD=" + builds["win64"], "-DOUT=" + out,
                            "-P", os.path.join(TOP, "cmake", "dist.cmake")],
                           check=True, capture_output=True)

            version = version_block()
            names = ["korvel-%s-%s.zip" % (version, f) for f in ("win32", "win64")]
            self.assertEqual(sorted(os.listdir(out)), sorted(names + [deb, "SHA256SUMS"]))
            for flavour, name in zip(("win32", "win64"), names):
                folder = name[:-len(".zip")]
                with zipfile.ZipFile(os.path.join(out, name)) as archive:
                    self.assertEqual(sorted(archive.namelist()),
                                     [folder + "/LICENSE.txt", folder + "/README.txt",
                                      folder + "/korvel-program.exe", folder + "/korvel.exe"])
                    for program in ("korvel.exe", "korvel-program.exe"):
                        self.assertEqual(archive.read(folder + "/" + program),
                                         b"MZ %s for %s" % (program.encode(), flavour.encode()))
                    readme = archive.read(folder + "/README.txt")
                    licence = archive.read(folder + "/LICENSE.txt")
                self.assertIn(b"Port 1 leads to COM1", readme)
                # The licence whole, as the source tree has it, but for its line ends.
                with open(os.path.join(TOP, "LICENSE"), "rb") as f:
                    self.assertEqual(licence, f.read().replace(b"\n", b"\r\n"))
                self.assertIn(b"Copyright (c) 2026 The KORVEL programmer authors", licence)
                for text in (readme, licence):
                    self.assertNotIn(b"\n", text.replace(b"\r\n", b""), "Windows line ends")

            with open(os.path.join(out, "SHA256SUMS")) as f:
                sums = dict(reversed(line.split("  ")) for line in f.read().splitlines())
            self.assertEqual(sorted(sums), sorted(names + [deb]))
            for name in names + [deb]:
                with open(os.path.join(out, name), "rb") as f:
                    self.assertEqual(sums[name], hashlib.sha256(f.read()).hexdigest())

    def test_a_build_that_is_missing_fails_and_says_which(self):
        with tempfile.TemporaryDirectory() as work:
            result = subprocess.run(["cmake", "-DSOURCE_DIR=" + TOP, "-DWIN32_BUILD=" + work,
                                     "-DWIN64_BUILD=" + work, "-DOUT=" + work + "/dist",
                                     "-P", os.path.join(TOP, "cmake", "dist.cmake")],
                                    capture_output=True, text=True)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("korvel.exe is not built", result.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
