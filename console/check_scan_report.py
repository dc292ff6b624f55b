#!/usr/bin/env python3
"""Runs OverreachScan on the example machine with one drive of each kind, and on variants of it
in which a query fails at each step or the bus driver is absent, and on the example of drives
with 4096-byte blocks beside it, and checks every drive's verdict and reason in the JSON
report (read with Python's JSON parser) and in the text report.

    check_scan_report.py <example scenario> <work folder> <command that runs OverreachScan...>
"""
import json
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "testing"))
from report_checks import Checks, lines_of, run  # noqa: E402

STOP_MARK = "# the stop"

# Drive 13's failing query in each variant: the fault line, the step's name, the code.
STOPS = {
    "model": ("fault DeviceIoControl ioctl=0x2D1400 drive=13 nth=1 error=31", "model query", 31),
    "bus type": ("fault DeviceIoControl ioctl=0x2D1400 drive=13 nth=2 error=31", "bus type query", 31),
    "name": ("fault GetDeviceRegistryProperty drive=13 error=31", "device object name lookup", 31),
    "style": ("fault DeviceIoControl ioctl=0x70048 drive=13 error=5", "partition style query", 5),
    # Drives 0 to 7 asked for their size before drive 13 (drive 12's request is taken by the
    # example's own fault, which comes first).
    "size": ("fault DeviceIoControl ioctl=0x2A4018 nth=9 error=31", "bus driver's size request", 31),
    "lookup": (None, "bus driver's serial number lookup", 31),  # the example's own stop
    # Drives 1, 4 and 7 were queried before.
    "query": ("fault DeviceIoControl ioctl=0x2A4010 nth=4 error=31", "bus driver's virtual drive query", 31),
}

# Drives 0 to 12 of the example: verdict, reason, and for failures the step and code.
EXAMPLE = {
    0: ("not offered", "not-beyond-limit", None),
    1: ("offered", None, None),
    2: ("not offered", "not-beyond-limit", None),
    3: ("not offered", "partition-style", None),
    4: ("offered", None, None),
    5: ("not offered", "excluded-model", None),
    6: ("not offered", "raid-member", None),
    7: ("offered", None, None),
    8: ("no drive", "no-drive", ("model query", 2)),
    9: ("not offered", "query-failed", ("bus type query", 2)),
    10: ("not offered", "query-failed", ("device object name lookup", 2)),
    11: ("not offered", "query-failed", ("partition style query", 2)),
    12: ("not offered", "query-failed", ("bus driver's size request", 2)),
}

# Verdict lines of the text report; the system's texts in brackets differ between systems.
TEXT_LINES = [
    r"Drive 0: SYS500, 465\.76 GiB - not offered: not larger than 2048 GiB \(500107862016 bytes\)",
    r"Drive 1: WDC WD30EZRX, 2794\.52 GiB - offered",
    r"Drive 2: EXACT2T, 2048\.00 GiB - not offered: not larger than 2048 GiB \(2199023255552 bytes, exactly 2\^41\)",
    r"Drive 3: GPT6T, 5589\.03 GiB - not offered: GPT partition table",
    r"Drive 4: BLANK3T, 2794\.52 GiB - offered",
    r"Drive 5: ASUS BIG3T, 2794\.52 GiB - not offered: model text contains \"ASUS\", excluded by the model rule",
    r"Drive 6: RAID3T, 2794\.52 GiB - not offered: looks like a RAID member \(last block address 0x100000000 has a low half of 0\)",
    r"Drive 7: FOUR4T, 3726\.02 GiB - offered",
    r"Drive 8: no drive with this number",
    r"Drive 9: BUSTYPE - not offered: the bus type query failed with code 2 \(.+\); the scan takes code 2 as \"no drive\" and goes on",
    r"Drive 10: NONAME - not offered: the device object name lookup failed with code 2 \(.+\); .*goes on",
    r"Drive 11: NOSTYLE - not offered: the partition style query failed with code 2 \(.+\); .*goes on",
    r"Drive 12: NOSIZE - not offered: the bus driver's size request failed with code 2 \(.+\); .*goes on",
    r"Drive 14: not examined - the scan stopped at drive 13",
    r"Drive 15: not examined - the scan stopped at drive 13",
    r"Drive 16: SIXTEEN - not examined: the scan looks at drive numbers 0 to 15 only",
    r"Bus driver: present \(it answered the size request for drive 0\)",
]

# The example of drives whose blocks are not 512 bytes: verdict, reason, bytes per block, and
# the verdict line.
BLOCK_SIZE_WHY = (r"4096 bytes per block, not 512: MBR then reaches 16 TiB, so a virtual drive past "
                  r"2048 GiB would show the same bytes twice")
BLOCK_SIZE = {
    0: ("not offered", "block-size", 4096, r"Drive 0: BRIDGE3T, 2794\.52 GiB - not offered: " + BLOCK_SIZE_WHY),
    1: ("not offered", "block-size", 4096, r"Drive 1: BRIDGE20T, 18627\.00 GiB - not offered: " + BLOCK_SIZE_WHY),
    2: ("offered", None, 512, r"Drive 2: PLAIN3T, 2794\.52 GiB - offered"),
}

checks = Checks()
check = checks.check


def check_drive(name, drive, verdict, reason, failure, stopped_scan=False):
    n = drive["number"]
    check(drive["verdict"] == verdict, f"{name}: drive {n} verdict {drive['verdict']!r}, not {verdict!r}")
    check(drive["reason"] == reason, f"{name}: drive {n} reason {drive['reason']!r}, not {reason!r}")
    if failure is None:
        check(drive["failure"] is None, f"{name}: drive {n} has a failure")
        return
    step, code = failure
    got = drive["failure"] or {}
    check(got.get("step") == step and got.get("code") == code and got.get("stoppedScan") == stopped_scan,
          f"{name}: drive {n} failure {got}, not {step} {code} stopped={stopped_scan}")
    check(bool(got.get("text")), f"{name}: drive {n} failure without the system's text")


def check_variant(name, scenario, command, step, code):
    status, out, err = run(command, "--json", scenario)
    check(status == 1, f"{name}: exit {status} for a stopped scan ({err.strip()})")
    try:
        report = json.loads(out)
    except ValueError as e:
        checks.fail(f"{name}: the JSON report does not parse: {e}")
        return
    drives = report["drives"]
    check([d["number"] for d in drives] == list(range(16)), f"{name}: drive numbers {[d['number'] for d in drives]}")
    for n, (verdict, reason, failure) in EXAMPLE.items():
        check_drive(name, drives[n], verdict, reason, failure)
    check_drive(name, drives[13], "not offered", "query-failed", (step, code), stopped_scan=True)
    for n in (14, 15):
        check_drive(name, drives[n], "not examined", "scan-stopped", None)
    check(drives[1]["sizeBytes"] == 3000592982016 and drives[1]["sizeGiB"] == "2794.52",
          f"{name}: drive 1 size {drives[1]['sizeBytes']} {drives[1]['sizeGiB']}")
    check(drives[2]["sizeBytes"] == 2 ** 41, f"{name}: drive 2 size {drives[2]['sizeBytes']}")
    check(drives[3]["partitionStyle"] == "GPT" and drives[4]["partitionStyle"] == "RAW",
          f"{name}: styles {drives[3]['partitionStyle']} {drives[4]['partitionStyle']}")
    check(drives[6]["lastBlockAddress"] == 2 ** 32, f"{name}: drive 6 last block {drives[6]['lastBlockAddress']}")
    virtual = drives[7]["virtualDrive"] or {}
    check(virtual.get("serialNo") == 5 and virtual.get("created") is True and virtual.get("mounted") is False
          and virtual.get("virtualBytes") == 4000787030016 - 2 ** 41,
          f"{name}: drive 7 virtual drive {virtual}")
    check(drives[1]["virtualDrive"]["serialNo"] == 0, f"{name}: drive 1 has a virtual drive")
    check(report["offered"] == [1, 4, 7], f"{name}: offered {report['offered']}")
    check(report["beyondScan"]["drives"] == [{"number": 16, "model": "SIXTEEN"}],
          f"{name}: beyond the scan {report['beyondScan']}")
    check(report["busDriver"]["fromScan"] == "present", f"{name}: bus driver {report['busDriver']}")
    result = report["result"]
    check(result["code"] == code and result["stoppedAtDrive"] == 13 and result["notExamined"] == [14, 15]
          and result["success"] is False, f"{name}: result {result}")
    check(report["counts"] == {"offered": 3, "notOffered": 10, "noDrive": 1, "notExamined": 2},
          f"{name}: counts {report['counts']}")

    status, out, err = run(command, scenario)
    lines = lines_of(out)
    for pattern in TEXT_LINES + [
        rf"Drive 13: .*not offered: the {re.escape(step)} failed with code {code} \(.+\).*; the scan stopped here",
        rf"16 drive numbers: 3 offered, 10 not offered, 1 no drive, 2 not examined; scan result {code} \(.+\): "
        rf"failed: the scan stopped at drive 13, at the {re.escape(step)}",
    ]:
        check(any(re.fullmatch(pattern, l) for l in lines), f"{name}: no line matches {pattern}")
    verdicts = [int(m.group(1)) for m in (re.match(r"Drive (\d+): ", l) for l in lines) if m]
    check(verdicts[:17] == list(range(17)), f"{name}: verdict lines for {verdicts[:17]}")


def check_bus_absent(scenario, command):
    status, out, err = run(command, "--json", scenario)
    report = json.loads(out)
    drives = report["drives"]
    check_drive("bus absent", drives[0], "not offered", "query-failed", ("bus driver's size request", 259),
                stopped_scan=True)
    for n in range(1, 16):
        check_drive("bus absent", drives[n], "not examined", "scan-stopped", None)
    check(report["busDriver"]["fromScan"] == "absent" and report["busDriver"]["drive"] == 0,
          f"bus absent: bus driver {report['busDriver']}")
    check(report["offered"] == [] and report["result"]["code"] == 259, f"bus absent: result {report['result']}")
    status, out, err = run(command, scenario)
    check(any(l.startswith("Bus driver: absent (no device interface of its class") for l in lines_of(out)),
          "bus absent: no bus driver line")
    check(any(re.fullmatch(r"Drive 0: SYS500 - not offered: the bus driver's size request failed with code 259 "
                           r"\(.+\): the bus driver is not installed or not running; the scan stopped here", l)
              for l in lines_of(out)), "bus absent: drive 0 line")


def check_block_size(scenario, command):
    status, out, err = run(command, "--json", scenario)
    check(status == 0, f"block size: exit {status} ({err.strip()})")
    report = json.loads(out)
    for n, (verdict, reason, block, line) in BLOCK_SIZE.items():
        drive = report["drives"][n]
        check_drive("block size", drive, verdict, reason, None)
        check(drive["bytesPerBlock"] == block, f"block size: drive {n} has {drive['bytesPerBlock']} bytes per block")
        check(re.fullmatch(line, drive["line"]), f"block size: drive {n} line {drive['line']!r}")
    check(report["offered"] == [2], f"block size: offered {report['offered']}")
    status, out, err = run(command, scenario)
    lines = lines_of(out)
    for n, (verdict, reason, block, line) in BLOCK_SIZE.items():
        check(any(re.fullmatch(line, l) for l in lines), f"block size: no line matches {line}")


def main():
    example, work, command = sys.argv[1], sys.argv[2], sys.argv[3:]
    os.makedirs(work, exist_ok=True)
    with open(example, encoding="ascii") as f:
        text = f.read()
    check(STOP_MARK in text, "the example has no stop line")

    def variant(name, replacement):
        lines = [(replacement if STOP_MARK in l else l) for l in text.split("\n")]
        path = os.path.join(work, name.replace(" ", "-") + ".scenario")
        with open(path, "w", encoding="ascii") as f:
            f.write("\n".join(lines))
        return os.path.abspath(path)

    for name, (fault, step, code) in STOPS.items():
        check_variant(name, variant(name, fault) if fault else os.path.abspath(example), command, step, code)
    check_bus_absent(variant("bus absent", "bus absent"), command)
    check_block_size(os.path.join(os.path.dirname(os.path.abspath(example)), "block-size.scenario"), command)

    # Verbose JSON still parses, and carries the diagnostic lines under their drive.
    status, out, err = run(command, "--json", "--verbose", os.path.abspath(example))
    report = json.loads(out)
    check("IsAmdRaidMode return TRUE" in report["drives"][6]["diagnostics"], "verbose: drive 6 lines")
    check(out.isascii(), "the JSON report is not plain ASCII")

    # A folder is not a scenario.
    status, out, err = run(command, os.path.abspath(work))
    check(status == 1 and "is a folder, not a scenario file" in err, f"folder: exit {status}, {err.strip()}")

    return checks.finish(f"{len(STOPS) + 4} runs checked")


if __name__ == "__main__":
    sys.exit(main())
