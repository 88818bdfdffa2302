"""korvel-program's bash completion, its function run in bash with COMP_WORDS
and COMP_CWORD set as bash sets them on a Tab: against the program itself,
and against a stand-in that lists made-up ports and options the program does
not have yet."""

import json
import os
import re
import shlex
import stat
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import KorvelTestCase, main  # noqa: E402

# As --list-ports --json gives them: an adapter with a stable name, one
# without, and a built-in port.
PORTS = [
    {"port": "/dev/ttyS0", "kind": "built-in", "by_id": None},
    {"port": "/dev/ttyUSB0", "kind": "usb",
     "by_id": "/dev/serial/by-id/usb-FTDI_A10KZP9B-if00-port0"},
    {"port": "/dev/ttyUSB1", "kind": "usb", "by_id": None},
]
NEW_OPTIONS = "  --lines FILE   read the lines from FILE\n  --strict       refuse warnings\n"


def complete(program, *words, cwd=None):
    """What Tab offers after words (the last is the one being completed),
    and the options the function set for bash with compopt."""
    words = [program] + list(words)
    script = "\n".join([
        "compopt() { printf 'compopt %s\\n' \"$*\" >&2; }",  # only bash may call the real one
        "source %s || exit 3" % shlex.quote(KorvelTestCase.args.completion),
        "COMP_WORDS=(%s)" % " ".join(shlex.quote(w) for w in words),
        "COMP_CWORD=%d" % (len(words) - 1),
        "_korvel_program %s %s %s" % tuple(shlex.quote(w) for w in (program, words[-1], words[-2])),
        "printf '%s\\n' \"${COMPREPLY[@]}\"",
    ])
    result = subprocess.run(["bash", "--norc", "--noprofile", "-c", script], capture_output=True,
                            text=True, timeout=60, cwd=cwd)
    assert result.returncode == 0, result.stderr
    offered = [line for line in result.stdout.split("\n")[:-1] if line]
    set_options = re.findall(r"^compopt -o (\S+)$", result.stderr, re.M)
    return offered, set_options


def help_options(program):
    text = subprocess.run([program, "--help"], capture_output=True, text=True, check=True).stdout
    return sorted(set(re.findall(r"(?<![\w-])--[a-z][a-z0-9-]*", text)))


class CompletionTestCase(KorvelTestCase):
    scratch_prefix = "korvel-completion-test-"

    def stand_in(self):
        """A program with korvel-program's --help and two options more, and
        the made-up ports."""
        path = os.path.join(self.work, "korvel-program")
        ports = "\n".join(json.dumps(port, separators=(",", ":")) for port in PORTS)
        with open(path, "w") as f:
            f.write("#!/bin/sh\n"
                    'case "$*" in\n'
                    "  --help) %s --help; printf %s ;;\n"
                    "  '--list-ports --json') printf '%%s\\n' %s ;;\n"
                    "  *) exit 2 ;;\n"
                    "esac\n" % (shlex.quote(self.args.program), shlex.quote(NEW_OPTIONS),
                                shlex.quote(ports)))
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        return path


class OptionsTest(CompletionTestCase):
    def test_every_option_help_lists_is_completed(self):
        options = help_options(self.args.program)
        self.assertIn("--port", options)
        offered, _ = complete(self.args.program, "--")
        self.assertEqual(sorted(offered), options)
        self.assertEqual(complete(self.args.program, "--po")[0], ["--port"])
        self.assertEqual(complete(self.args.program, "-")[0], offered)

    def test_an_option_help_gains_is_completed_with_its_value(self):
        program = self.stand_in()
        offered, _ = complete(program, "--")
        self.assertEqual(sorted(offered),
                         sorted(help_options(self.args.program) + ["--lines", "--strict"]))
        open(os.path.join(self.work, "banner.txt"), "w").close()
        self.assertEqual(complete(program, "--lines", "ban", cwd=self.work),
                         (["banner.txt"], ["filenames"]))

    def test_nothing_is_offered_for_a_message_or_a_text(self):
        for words in (["HEL"], ["--text", "-"], ["--port", "COM1", "--", "--q"], ["--", ""]):
            with self.subTest(words=words):
                self.assertEqual(complete(self.args.program, *words)[0], [])


class PortTest(CompletionTestCase):
    def test_the_ports_listed_here_with_the_addresses_of_serial_servers(self):
        listed = subprocess.run([self.args.program, "--list-ports", "--json"], capture_output=True,
                                text=True, check=True).stdout.splitlines()
        ports = [json.loads(line)["port"] for line in listed]
        offered, _ = complete(self.args.program, "--port", "")
        self.assertEqual(sorted(offered), sorted(ports + ["socket://", "rfc2217://"]))

    def test_stable_names_first_then_the_devices(self):
        program = self.stand_in()
        self.assertEqual(complete(program, "--port", ""),
                         (["/dev/serial/by-id/usb-FTDI_A10KZP9B-if00-port0", "/dev/ttyS0",
                           "/dev/ttyUSB0", "/dev/ttyUSB1", "socket://", "rfc2217://"],
                          ["nosort"]))
        self.assertEqual(complete(program, "-q", "--port", "/dev/ttyU")[0],
                         ["/dev/ttyUSB0", "/dev/ttyUSB1"])

    def test_a_server_address_or_a_path_may_be_typed(self):
        program = self.stand_in()
        # The cursor stays after "://" for the host to be typed.
        self.assertEqual(complete(program, "--port", "rfc"),
                         (["rfc2217://"], ["nosort", "nospace"]))
        # Bash splits "socket://host:4001" at each ':'; nothing gets in the way.
        self.assertEqual(complete(program, "--port", "socket", ":", "//loc")[0], [])
        os.mkdir(os.path.join(self.work, "lines"))
        os.symlink("/dev/null", os.path.join(self.work, "lines", "com1"))
        self.assertEqual(complete(program, "--port", "lines/c", cwd=self.work),
                         (["lines/com1"], ["nosort", "filenames"]))


if __name__ == "__main__":
    main("program", "completion")
