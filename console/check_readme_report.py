#!/usr/bin/env python3
"""Checks that the README's section on seeing why a drive is or is not offered shows what the
scan tool really prints: each text report after "$ <command>" is run and compared line by
line, and each JSON excerpt must equal a drive of the JSON report of a scenario shown.

    check_readme_report.py <README.md> <OverreachScan>      (run from the source folder)
"""
import json
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "testing"))
from report_checks import Checks, lines_of, run  # noqa: E402

SECTION = "## Seeing why a drive is or is not offered"


def blocks(text, language):
    return re.findall(r"```" + language + r"\n(.*?)```", text, re.S)


def main():
    readme, program = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    section = text[text.index(SECTION):]
    section = section[:section.find("\n## ", len(SECTION))]
    checks = Checks()

    reports = [b for b in blocks(section, "text") if b.startswith("$ ")]
    checks.check(reports, "no report after a '$ ' command")
    scenarios = []
    for block in reports:
        lines = block.rstrip("\n").split("\n")
        arguments = lines[0][2:].split()[1:]
        scenarios.append(arguments[-1])
        status, out, err = run([program], *arguments, timeout=60)
        checks.same_lines(lines[1:], lines_of(out), f"the report of '{lines[0][2:]}'")

    excerpts = blocks(section, "json")
    checks.check(excerpts and scenarios, "no JSON excerpt")
    drives = []
    for scenario in scenarios:
        drives += json.loads(run([program], "--json", scenario, timeout=60)[1])["drives"]
    for excerpt in excerpts:
        checks.check(json.loads(excerpt) in drives, "the JSON excerpt is no drive of a report shown")

    return checks.finish(f"{len(reports)} report(s) and {len(excerpts)} excerpt(s) checked")


if __name__ == "__main__":
    sys.exit(main())
