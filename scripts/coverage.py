#!/usr/bin/env python3
"""Prints line and branch coverage per folder of src/ from gcovr's JSON summary
(scripts/test.sh's sanitizer stage), and marks a folder under its goal.

  python3 scripts/coverage.py SUMMARY.json
"""
import json
import sys

LINE_GOAL = 90.0  # per cent of the lines of a folder that some test executes
BRANCH_GOAL = 75.0  # per cent of the branches of a folder that some test takes


def percent(part, whole):
    return 100.0 * part / whole if whole else 100.0


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    with open(argv[1], encoding="utf-8") as source:
        files = json.load(source)["files"]
    folders = {}
    for entry in files:
        parts = entry["filename"].split("/")
        if len(parts) < 3 or parts[0] != "src":
            continue
        totals = folders.setdefault(parts[1], [0, 0, 0, 0])
        totals[0] += entry["line_covered"]
        totals[1] += entry["line_total"]
        totals[2] += entry["branch_covered"]
        totals[3] += entry["branch_total"]
    print(f"coverage: {'folder':<13} {'lines':>18} {'branches':>18}")
    for folder, (lines, line_total, branches, branch_total) in sorted(folders.items()):
        line_share = percent(lines, line_total)
        branch_share = percent(branches, branch_total)
        under = line_share < LINE_GOAL or branch_share < BRANCH_GOAL
        print(f"coverage: {'src/' + folder:<13} {lines:5}/{line_total:<5} {line_share:5.1f}% "
              f"{branches:5}/{branch_total:<5} {branch_share:5.1f}%"
              f"{'  under the goal' if under else ''}")
    print(f"coverage: goal {LINE_GOAL:.0f}% of lines and {BRANCH_GOAL:.0f}% of branches per folder")


if __name__ == "__main__":
    main(sys.argv)
