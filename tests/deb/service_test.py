"""korvel-serve's service as the package installs it (serve/korvel-serve.service,
its user from serve/korvel-serve.sysusers, the example configuration): systemd
takes the unit without a word, and the pieces agree with each other and with
korvel-serve (the user exists, its home is the state folder the service gets,
the configuration the service waits for is the one it runs, the example is
sound)."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ARGS = None


def read_unit(path):
    """{(section, key): [values]}, every value a key is given, in order."""
    settings, section = {}, None
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith(("#", ";")):
                continue
            if line.startswith("["):
                section = line.strip("[]")
                continue
            key, value = line.split("=", 1)
            settings.setdefault((section, key), []).append(value)
    return settings


class ServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.analyze = shutil.which("systemd-analyze")
        cls.work = tempfile.mkdtemp(prefix="korvel-service-test-")
        cls.addClassCleanup(shutil.rmtree, cls.work, True)
        cls.unit_file = os.path.join(ARGS.source, "serve", "korvel-serve.service")
        cls.unit = read_unit(cls.unit_file)

    def one(self, section, key):
        values = self.unit.get((section, key), [])
        self.assertEqual(len(values), 1, "%s= in [%s]: %r" % (key, section, values))
        return values[0]

    def verify(self, unit_text, name="korvel-serve.service"):
        """systemd-analyze verify on the unit as installed, its program being
        this build's and its manual page this source's: (status, what it said)."""
        if self.analyze is None:
            self.skipTest("systemd-analyze is not installed (Debian's systemd package has it)")
        folder = tempfile.mkdtemp(dir=self.work)
        man8 = os.path.join(folder, "man", "man8")
        os.makedirs(man8)
        shutil.copy(os.path.join(ARGS.source, "serve", "korvel-serve.8"), man8)
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write(unit_text.replace("/usr/bin/korvel-serve", ARGS.serve))
        result = subprocess.run([self.analyze, "verify", path], capture_output=True, text=True,
                                timeout=60, env=dict(os.environ, MANPATH=os.path.join(folder, "man")),
                                cwd=folder)
        return result.returncode, (result.stdout + result.stderr).strip()

    def test_systemd_takes_the_unit_without_a_word(self):
        with open(self.unit_file) as f:
            text = f.read()
        self.assertEqual(self.verify(text), (0, ""))
        # What verify says of a key it does not know, a value it cannot read
        # and a program that is not there; so that its silence above means it.
        broken = text.replace("ProtectSystem=strict", "ProtectSystem=strikt").replace(
            "NoNewPrivileges=yes", "NoNewPrivilege=yes")
        status, said = self.verify(broken)
        self.assertIn("protect system value", said)
        self.assertIn("Unknown key 'NoNewPrivilege'", said)
        status, said = self.verify(text.replace("/usr/bin/korvel-serve", "/nonexistent/korvel-serve"))
        self.assertNotEqual(status, 0)
        self.assertIn("/nonexistent/korvel-serve", said)

    def test_its_hardening_as_systemd_rates_it(self):
        if self.analyze is None:
            self.skipTest("systemd-analyze is not installed (Debian's systemd package has it)")
        path = os.path.join(self.work, "korvel-serve.service")
        with open(self.unit_file) as f:
            text = f.read().replace("/usr/bin/korvel-serve", ARGS.serve)
        with open(path, "w") as f:
            f.write(text)
        result = subprocess.run([self.analyze, "security", "--offline=yes", "--no-pager", path],
                                capture_output=True, text=True, timeout=60)
        rated = re.search(r"Overall exposure level for korvel-serve.service: ([\d.]+) (\w+)",
                          result.stdout)
        self.assertIsNotNone(rated, result.stdout + result.stderr)
        print("systemd-analyze security: exposure %s %s" % rated.groups(), file=sys.stderr)
        self.assertIn(rated.group(2), ("OK", "SAFE"), result.stdout)

    def test_it_waits_for_the_configuration_it_runs_and_runs_no_root(self):
        self.assertEqual(self.one("Service", "Type"), "notify")
        condition = self.one("Unit", "ConditionPathExists")
        self.assertEqual(self.one("Service", "ExecStart").split(),
                         ["/usr/bin/korvel-serve", "--config", condition])
        self.assertEqual(self.one("Service", "Restart"), "on-failure")
        # A mistake in the configuration is no failure a restart mends.
        self.assertEqual(self.one("Service", "RestartPreventExitStatus"), "2")
        self.assertNotIn(self.one("Service", "User"), ("root", "0"))
        self.assertIn("dialout", self.one("Service", "SupplementaryGroups").split())
        self.assertEqual(self.one("Service", "CapabilityBoundingSet"), "")
        self.assertEqual(self.one("Service", "ProtectSystem"), "strict")
        # Everything read-only but the lock folder, where korvel-program's
        # line locks are, whichever name the system gives it.
        writable = [p.lstrip("-") for p in self.one("Service", "ReadWritePaths").split()]
        self.assertLessEqual(set(writable), {"/run/lock", "/var/lock"})
        self.assertIn(os.path.realpath("/var/lock"), [os.path.realpath(p) for p in writable])
        # A private /dev would hold no serial device.
        self.assertNotIn(("Service", "PrivateDevices"), self.unit)
        self.assertEqual(self.one("Service", "RestrictAddressFamilies").split(),
                         ["AF_UNIX", "AF_INET", "AF_INET6"])

    def test_its_user_is_made_with_the_state_folder_for_home(self):
        sysusers = shutil.which("systemd-sysusers")
        if sysusers is None:
            self.skipTest("systemd-sysusers is not installed (Debian's systemd package has it)")
        root = tempfile.mkdtemp(dir=self.work)
        os.makedirs(os.path.join(root, "etc"))
        subprocess.run([sysusers, "--root", root,
                        os.path.join(ARGS.source, "serve", "korvel-serve.sysusers")],
                       check=True, capture_output=True, timeout=60)
        with open(os.path.join(root, "etc", "passwd")) as f:
            users = {fields[0]: fields for fields in (line.split(":") for line in f)}
        user = self.one("Service", "User")
        self.assertIn(user, users)
        self.assertEqual(users[user][5], "/var/lib/" + self.one("Service", "StateDirectory"))
        self.assertNotEqual(users[user][2], "0")
        with open(os.path.join(root, "etc", "group")) as f:
            groups = [line.split(":")[0] for line in f]
        self.assertIn(self.one("Service", "Group"), groups)

    def test_the_example_configuration_is_sound_and_keeps_state_where_the_service_may_write(self):
        with open(os.path.join(ARGS.source, "serve", "serve.toml.example")) as f:
            example = f.read()
        state = re.search(r'(?m)^dir = "([^"]+)"', example).group(1)
        self.assertEqual(state, "/var/lib/" + self.one("Service", "StateDirectory"))
        # The example names the token file the service's configuration will;
        # here one of the test's own stands in for it.
        token = os.path.join(self.work, "token")
        with open(token, "w") as f:
            f.write("an-example-token-of-some-length\n")
        os.chmod(token, 0o600)
        self.assertIn('token_file = "/etc/korvel/token"', example)
        config = os.path.join(self.work, "serve.toml")
        # Its commented second unit too, as an administrator would uncomment it.
        second = re.sub(r"(?m)^# (\[\[unit\]\]|name = |port = |title = )", r"\1",
                        example[example.index("# [[unit]]"):])
        for text, units in ((example, 1), (example + second, 2)):
            with open(config, "w") as f:
                f.write(text.replace("/etc/korvel/token", token))
            result = subprocess.run([ARGS.serve, "--config", config, "--check"],
                                    capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("is sound: %d units" % units, result.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--serve", required=True, help="this build's korvel-serve")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
