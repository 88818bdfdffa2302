"""The build's install rules: korvel-program, korvel-unit and the manual page
land under the prefix given, and the installed program runs."""

import os
import subprocess
import sys
import tempfile
import unittest

BUILD = None


class InstallTest(unittest.TestCase):
    def test_the_programs_and_the_manual_page_are_installed_under_the_prefix(self):
        with tempfile.TemporaryDirectory() as prefix:
            subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True,
                           capture_output=True)
            installed = sorted(os.path.relpath(os.path.join(folder, name), prefix)
                               for folder, _, names in os.walk(prefix) for name in names)
            self.assertEqual(installed, ["bin/korvel-program", "bin/korvel-unit",
                                         "share/man/man1/korvel-program.1"])
            version = subprocess.run([os.path.join(prefix, "bin", "korvel-program"), "--version"],
                                     capture_output=True, text=True)
            self.assertEqual(version.returncode, 0, version.stderr)
            self.assertTrue(version.stdout.startswith("korvel-program "))
            page = subprocess.run(["man", "-l", "-P", "cat",
                                   os.path.join(prefix, "share/man/man1/korvel-program.1")],
                                  capture_output=True, text=True,
                                  env=dict(os.environ, MANWIDTH="80"))
            if page.returncode == 0:  # man may not be installed
                self.assertIn("EXIT STATUS", page.stdout)
                self.assertNotIn("warning", page.stderr)


if __name__ == "__main__":
    BUILD = sys.argv.pop(1)
    unittest.main(verbosity=2)
