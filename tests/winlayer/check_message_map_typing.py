#!/usr/bin/env python3
"""check_message_map_typing.py CXX SOURCE_DIR CASES_FILE

Compiles CASES_FILE once per case: the "fitting" case must compile, and each
other case must fail with an error on the line of that case, not elsewhere,
so that a typing rule that stopped holding is caught, and so is a case that
fails for some unrelated reason.
"""

import re
import subprocess
import sys


def main():
    cxx, source_dir, cases_file = sys.argv[1:4]
    with open(cases_file) as f:
        lines = f.read().splitlines()
    cases = {}
    for number, line in enumerate(lines, 1):
        found = re.match(r"#(?:el)?if defined\(CASE_(\w+)\)", line)
        if found:
            cases[found.group(1)] = number + 1  # the case's line follows its #if
    problems = []
    for case, line in cases.items():
        result = subprocess.run([cxx, "-std=c++17", "-fsyntax-only", "-I", source_dir,
                                 "-DCASE_" + case, cases_file],
                                capture_output=True, text=True)
        if case == "fitting":
            if result.returncode != 0:
                problems.append("the fitting handlers do not compile:\n" + result.stderr)
            continue
        if result.returncode == 0:
            problems.append("%s: compiles, but does not fit" % case)
        elif not re.search(r"%s:%d:\d+: error" % (re.escape(cases_file), line), result.stderr):
            problems.append("%s: fails, but not on its own line %d:\n%s"
                            % (case, line, result.stderr))
    for problem in problems:
        print("message map typing: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
