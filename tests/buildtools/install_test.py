"""make install as a user runs it, into a prefix of their own: the native
programs are built with cmake and g++ alone. The Windows compilers, Wine,
QEMU, Xvfb, apt and sudo are stood in for by programs that only say they were
called, first on PATH, so that any use of them fails the test; and every
package but the native toolchain's counts as not installed."""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
NOT_FOR_INSTALL = ["wine", "wine64", "wineserver", "i686-w64-mingw32-g++", "x86_64-w64-mingw32-g++",
                   "i686-w64-mingw32-windres", "x86_64-w64-mingw32-windres", "qemu-system-i386",
                   "Xvfb", "xdotool", "import", "apt-get", "apt", "sudo", "dpkg"]


class InstallTest(unittest.TestCase):
    def test_make_install_into_a_users_prefix_needs_only_the_native_toolchain_and_says_where(self):
        with tempfile.TemporaryDirectory(prefix="korvel-install-test-") as work:
            shims, called = os.path.join(work, "shims"), os.path.join(work, "called")
            os.makedirs(shims)
            for name in NOT_FOR_INSTALL:
                path = os.path.join(shims, name)
                with open(path, "w") as f:
                    f.write("#!/bin/sh\necho %s >> %s\nexit 1\n" % (name, called))
                os.chmod(path, stat.S_IRWXU)
            # Only the native toolchain is installed, as far as anyone asks.
            query = os.path.join(shims, "dpkg-query")
            with open(query, "w") as f:
                f.write('#!/bin/sh\nfor p in "$@"; do case "$p" in cmake|make|g++) '
                        'exec /usr/bin/dpkg-query "$@";; esac; done\n'
                        'echo "unknown ok not-installed"\n')
            os.chmod(query, stat.S_IRWXU)
            # make install PREFIX=$HOME/.local, for a user whose PATH lacks ~/.local/bin.
            home = os.path.join(work, "home")
            os.makedirs(home)
            environment = dict(os.environ, HOME=home,
                               PATH=shims + os.pathsep + os.environ["PATH"])
            prefix, build = os.path.join(home, ".local"), os.path.join(work, "build")
            result = self.make_install(prefix, build, environment)
            self.assertFalse(os.path.exists(called),
                             "make install called: " + (open(called).read() if
                                                         os.path.exists(called) else ""))

            program = os.path.join(prefix, "bin", "korvel-program")
            for path in (program, os.path.join(prefix, "bin", "korvel-unit"),
                         os.path.join(prefix, "share", "man", "man1", "korvel-program.1")):
                self.assertTrue(os.path.isfile(path), path)
            version = subprocess.run([program, "--version"], capture_output=True, text=True)
            self.assertEqual(version.returncode, 0)
            self.assertTrue(version.stdout.startswith("korvel-program "), version.stdout)
            # No test was built: GoogleTest is not needed for it.
            self.assertFalse(os.path.exists(os.path.join(build, "release", "googletest")))

            # It ends saying that the shell will not find the programs, and
            # the line it gives for that puts them on PATH.
            bin_dir = os.path.realpath(os.path.join(prefix, "bin"))
            self.assertIn("korvel-program and korvel-unit are installed in %s, which is not on "
                          "your PATH" % bin_dir, result.stdout)
            self.assertIn('"korvel-program: command not found"', result.stdout)
            advice = [line.strip() for line in result.stdout.splitlines()
                      if line.strip().startswith("export PATH=")]
            self.assertEqual(advice, ['export PATH="$HOME/.local/bin:$PATH"'], result.stdout)
            def found_by_name(commands):
                shell = subprocess.run(["sh", "-c", commands + "; command -v korvel-program"],
                                       env=environment, capture_output=True, text=True)
                return shell.stdout.strip()
            self.assertNotEqual(found_by_name(":"), program)
            self.assertEqual(found_by_name(advice[0]), program)

            # Installed again with the folder on PATH, it says they are found.
            environment["PATH"] = bin_dir + os.pathsep + environment["PATH"]
            again = self.make_install(prefix, build, environment)
            self.assertNotIn("not on your PATH", again.stdout)
            self.assertIn("korvel-program and korvel-unit are installed in %s, on your PATH"
                          % bin_dir, again.stdout)

    def make_install(self, prefix, build, environment):
        result = subprocess.run(["make", "-C", TOP, "install", "PREFIX=" + prefix,
                                 "BUILD=" + build], env=environment, capture_output=True,
                                text=True, timeout=900)
        self.assertEqual(result.returncode, 0, result.stdout[-2000:] + result.stderr[-2000:])
        return result


if __name__ == "__main__":
    unittest.main(verbosity=2)
