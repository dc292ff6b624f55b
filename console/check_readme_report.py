#!/usr/bin/env python3
"""Checks that the README's section on seeing why a drive is or is not offered shows what the
scan tool really prints: the text report after "$ <command>" is run and compared line by line,
and the JSON excerpt must equal a drive of the JSON report of the same scenario.

    check_readme_report.py <README.md> <OverreachScan>      (run from the source folder)
"""
import json
import re
import subprocess
import sys

SECTION = "## Seeing why a drive is or is not offered"


def blocks(text, language):
    return re.findall(r"```" + language + r"\n(.*?)```", text, re.S)


def run(program, arguments):
    return subprocess.run([program] + arguments, stdout=subprocess.PIPE, timeout=60).stdout.decode("ascii")


def main():
    readme, program = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    section = text[text.index(SECTION):]
    section = section[:section.find("\n## ", len(SECTION))]
    failures = []

    reports = [b for b in blocks(section, "text") if b.startswith("$ ")]
    if not reports:
        failures.append("no report after a '$ ' command")
    scenario = None
    for block in reports:
        lines = block.rstrip("\n").split("\n")
        arguments = lines[0][2:].split()[1:]
        scenario = arguments[-1]
        printed = run(program, arguments).rstrip("\n").split("\n")
        shown = lines[1:]
        for i, (a, b) in enumerate(zip(shown, printed)):
            if a != b:
                failures.append(f"line {i + 2} of the report differs:\n  README: {a}\n  prints: {b}")
                break
        if len(shown) != len(printed):
            failures.append(f"the README shows {len(shown)} lines, the command prints {len(printed)}")

    excerpts = blocks(section, "json")
    if not excerpts or not scenario:
        failures.append("no JSON excerpt")
    else:
        report = json.loads(run(program, ["--json", scenario]))
        for excerpt in excerpts:
            if json.loads(excerpt) not in report["drives"]:
                failures.append("the JSON excerpt is no drive of the report")

    for f in failures:
        print("FAILED:", f)
    print(f"{len(reports)} report(s) and {len(excerpts)} excerpt(s) checked, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
