"""make deb's packaging (deb/make-deb.cmake) of this build's korvel-program,
korvel-unit and korvel-serve: the package lintian passes, with the files the
README lists, programs that run from it unpacked, manual pages that describe
every option the programs have, maintainer scripts that make, enable and on
purge remove korvel-serve's service, and checksums beside make dist's
archives."""

import argparse
import gzip
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
OPTION = r"(?<![\w-])--[a-z][a-z0-9-]*"


def version_block(source):
    with open(os.path.join(source, "res", "korvel.rc")) as f:
        numbers = re.search(r"^\s*FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", f.read(), re.M)
    return ".".join(numbers.groups())


def make_deb(source, out):
    return subprocess.run(["cmake", "-DSOURCE_DIR=" + source, "-DBUILD=" + ARGS.build,
                           "-DOUT=" + out, "-P", os.path.join(source, "deb", "make-deb.cmake")],
                          capture_output=True, text=True, timeout=600)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="korvel-deb-test-")
        cls.addClassCleanup(shutil.rmtree, cls.work, True)
        cls.out = os.path.join(cls.work, "dist")
        os.makedirs(cls.out)
        cls.version = version_block(ARGS.source)
        # What make dist left there, and a package of an earlier version.
        cls.archive = os.path.join(cls.out, "korvel-%s-win32.zip" % cls.version)
        with open(cls.archive, "wb") as f:
            f.write(b"PK made-up archive")
        with open(os.path.join(cls.out, "korvel-program_0.9.0.0_amd64.deb"), "wb") as f:
            f.write(b"!<arch> an earlier package")
        made = make_deb(ARGS.source, cls.out)
        if made.returncode != 0:
            raise AssertionError("make-deb.cmake failed:\n" + made.stdout + made.stderr)
        architecture = subprocess.run(["dpkg", "--print-architecture"], capture_output=True,
                                      text=True, check=True).stdout.strip()
        cls.name = "korvel-program_%s_%s.deb" % (cls.version, architecture)
        cls.deb = os.path.join(cls.out, cls.name)

    def field(self, name):
        return subprocess.run(["dpkg-deb", "--field", self.deb, name], capture_output=True,
                              text=True, check=True).stdout.strip()

    def test_named_after_the_version_block_with_its_dependencies_found(self):
        self.assertTrue(os.path.exists(self.deb), os.listdir(self.out))
        self.assertEqual(self.field("Package"), "korvel-program")
        self.assertEqual(self.field("Version"), self.version)
        depends = self.field("Depends")
        # The C and C++ runtimes both programs link, each with a least version.
        for library in ("libc6", "libstdc++6"):
            self.assertRegex(depends, r"\b%s \(>= [\d.]+\)" % re.escape(library))

    def test_lintian_finds_nothing_to_say(self):
        # In a temporary folder that goes: lintian leaves files of its own there.
        result = subprocess.run(["lintian", "--fail-on", "error,warning", self.deb],
                                capture_output=True, text=True, timeout=300,
                                env=dict(os.environ, TMPDIR=self.work))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotRegex(result.stdout, r"(?m)^[EW]: ")

    def test_its_files_are_those_the_readme_lists(self):
        with open(os.path.join(ARGS.source, "README.md")) as f:
            readme = f.read()
        listed = re.search(r"The package holds these files:\n\n *```text\n(.*?)```", readme, re.S)
        self.assertIsNotNone(listed, "the README lists no files of the package")
        contents = subprocess.run(["dpkg-deb", "--contents", self.deb], capture_output=True,
                                  text=True, check=True).stdout
        files = [line.split()[-1][1:] for line in contents.splitlines()
                 if not line.startswith("d")]
        self.assertEqual(sorted(files), sorted(listed.group(1).split()))

    def test_the_programs_run_from_the_unpacked_package(self):
        root = os.path.join(self.work, "unpacked")
        subprocess.run(["dpkg-deb", "--extract", self.deb, root], check=True)
        program = os.path.join(root, "usr", "bin", "korvel-program")
        unit = os.path.join(root, "usr", "bin", "korvel-unit")
        version = subprocess.run([program, "--version"], capture_output=True, text=True)
        self.assertEqual(version.stdout, "korvel-program %s\n" % self.version)

        path_file = os.path.join(self.work, "unit.path")
        simulated = subprocess.Popen([unit, "--count", "2", "--path-file", path_file],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        try:
            deadline = time.monotonic() + 30
            while not os.path.exists(path_file) and time.monotonic() < deadline:
                time.sleep(0.05)
            with open(path_file) as f:
                port = f.read().strip()
            run = subprocess.run([program, "--port", port, "HELLO", "WORLD"], capture_output=True,
                                 text=True, timeout=60)
            self.assertEqual(run.returncode, 0, run.stderr)
            shown, _ = simulated.communicate(timeout=30)
        finally:
            simulated.kill()
            simulated.wait()
        self.assertIn("|HELLO                       |\n|WORLD                       |", shown)

        serve = os.path.join(root, "usr", "bin", "korvel-serve")
        version = subprocess.run([serve, "--version"], capture_output=True, text=True)
        self.assertEqual(version.stdout, "korvel-serve %s\n" % self.version)

        # Each manual page describes every option its program's --help lists.
        for command, section in ((program, "1"), (unit, "1"), (serve, "8")):
            help_text = subprocess.run([command, "--help"], capture_output=True, text=True).stdout
            name = os.path.basename(command)
            with gzip.open(os.path.join(root, "usr", "share", "man", "man" + section,
                                        "%s.%s.gz" % (name, section)), "rt") as f:
                page = f.read().replace("\\-", "-")
            for option in set(re.findall(OPTION, help_text)):
                with self.subTest(program=name, option=option):
                    self.assertIn(option, re.findall(OPTION, page))

        completion = os.path.join(root, "usr", "share", "bash-completion", "completions",
                                  "korvel-program")
        registered = subprocess.run(
            ["bash", "--norc", "-c", "source %s && complete -p korvel-program" % completion],
            capture_output=True, text=True)
        self.assertEqual(registered.stdout.strip(), "complete -F _korvel_program korvel-program")

    def test_the_service_is_made_and_enabled_on_installation_and_goes_on_purge(self):
        # The maintainer scripts on a root of the test's own (DPKG_ROOT), as
        # dpkg runs them: nothing of this machine's is touched.
        root = os.path.join(self.work, "installed")
        subprocess.run(["dpkg-deb", "--extract", self.deb, root], check=True)
        scripts = os.path.join(self.work, "scripts")
        subprocess.run(["dpkg-deb", "--control", self.deb, scripts], check=True)
        os.makedirs(os.path.join(root, "etc"))

        def run(script, *arguments):
            result = subprocess.run(
                [os.path.join(scripts, script)] + list(arguments), capture_output=True,
                text=True, timeout=60,
                env=dict(os.environ, DPKG_ROOT=root, DPKG_MAINTSCRIPT_PACKAGE="korvel-program",
                         DPKG_MAINTSCRIPT_NAME=script))
            self.assertEqual(result.returncode, 0, script + ": " + result.stdout + result.stderr)

        wanted = os.path.join(root, "etc", "systemd", "system", "multi-user.target.wants",
                              "korvel-serve.service")
        run("postinst", "configure")
        with open(os.path.join(root, "etc", "passwd")) as f:
            self.assertRegex(f.read(), r"(?m)^korvel:x:\d+:\d+:[^:]*:/var/lib/korvel:")
        self.assertEqual(os.readlink(wanted), "/usr/lib/systemd/system/korvel-serve.service")
        # No configuration comes with it: the service waits for the
        # administrator's, and starts nothing on installation.
        self.assertFalse(os.path.exists(os.path.join(root, "etc", "korvel")))
        # Run again, as on an upgrade: still enabled, once.
        run("postinst", "configure", self.version)
        self.assertTrue(os.path.islink(wanted))

        state = os.path.join(root, "var", "lib", "korvel")
        os.makedirs(state)
        with open(os.path.join(state, "window.json"), "w") as f:
            f.write("{}")
        run("prerm", "remove")
        run("postrm", "remove")
        self.assertTrue(os.path.exists(state), "the units' texts stay until purge")
        run("postrm", "purge")
        self.assertFalse(os.path.lexists(wanted))
        self.assertFalse(os.path.exists(state))
        self.assertEqual(os.listdir(os.path.join(root, "etc", "systemd", "system")), [])

    def test_checksums_cover_it_with_the_archives_beside(self):
        with open(os.path.join(self.out, "SHA256SUMS")) as f:
            sums = dict(reversed(line.split("  ")) for line in f.read().splitlines())
        self.assertEqual(sums, {self.name: sha256(self.deb),
                                os.path.basename(self.archive): sha256(self.archive)})
        self.assertEqual(sorted(os.listdir(self.out)),
                         sorted([self.name, os.path.basename(self.archive), "SHA256SUMS"]))


class ChangelogTest(unittest.TestCase):
    def test_a_version_without_its_changelog_entry_is_refused(self):
        with tempfile.TemporaryDirectory(prefix="korvel-deb-test-") as work:
            source = os.path.join(work, "source")
            for folder in ("cmake", "deb", "res"):
                shutil.copytree(os.path.join(ARGS.source, folder), os.path.join(source, folder))
            rc = os.path.join(source, "res", "korvel.rc")
            with open(rc) as f:
                script = f.read()
            with open(rc, "w") as f:
                f.write(re.sub(r"(?m)^(\s*FILEVERSION\s+)[\d, ]+$", r"\g<1>7, 0, 0, 3", script))
            result = make_deb(source, os.path.join(work, "dist"))
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("deb/changelog's newest entry is for %s, the version block says "
                          "7.0.0.3" % version_block(ARGS.source),
                          " ".join(result.stderr.split()))  # as cmake wraps it
            self.assertFalse(os.path.exists(os.path.join(work, "dist", "SHA256SUMS")))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True,
                        help="a native build with korvel-program, korvel-unit and korvel-serve built")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
