#!/usr/bin/env python3
"""Helpers of scripts/mutate.sh (Python's standard library only).

  mirror TREE               makes TREE hold exactly the files of HEAD plus Resources/ (files
                            that are gone are removed; unchanged files keep their times, so the
                            next build is incremental); TREE/build is left alone
  generate N RANDOM OUT     writes a list of generated mutants to OUT: for every place (each
                            folder of src/ and the product-facing tools and scripts) the lines
                            are ordered by the number RANDOM and one standard mutation is made
                            per line, 4 * N candidates a place (mutate.sh keeps the first N
                            that build); a line's rank depends on RANDOM, its file and its text
                            alone, so an edit only changes the candidates of its own lines
  programs BUILD            prints the test programs of a build's CTest suite as JSON
  coverage-map OUT JSON...  merges gcovr's per-program JSON reports into a map of the lines
                            each program executes
  each-program PROGRAMS      prints each program and a CTest regex of its tests
  select MAP PROGRAMS FILE LINE TIMES LEFT-OUT KILLERS
                            prints the tests of the programs that execute FILE:LINE in waves,
                            quickest first by the times in TIMES (CTest's output); a line not in
                            the map (a constant the compiler folds) counts as its source file's
                            lines, a shell script's or header's as every program's; LEFT-OUT
                            names programs not to run (comma-separated); the tests that killed
                            earlier mutants of FILE (KILLERS) run first
"""
import io
import json
import os
import random
import re
import subprocess
import sys
import tarfile

# ---------------------------------------------------------------------------------------------
# Mirroring the commit

def mirror(tree):
    # git archive writes files group-writable by default; the tree must have a checkout's modes
    # (a menu entry installed from a group-writable template fails the package's lint check).
    data = subprocess.run(["git", "-c", "tar.umask=0022", "archive", "--format=tar", "HEAD"],
                          check=True, capture_output=True).stdout
    wanted = {}
    with tarfile.open(fileobj=io.BytesIO(data)) as archive:
        for member in archive.getmembers():
            if member.isfile():
                wanted[member.name] = (archive.extractfile(member).read(), member.mode)
            elif member.issym():
                wanted[member.name] = ("link", member.linkname)
    for root, _, files in os.walk("Resources"):
        for name in files:
            path = os.path.join(root, name)
            with open(path, "rb") as source:
                wanted[path] = (source.read(), 0o644)
    copied = removed = 0
    for name, (content, mode) in wanted.items():
        target = os.path.join(tree, name)
        if content == "link":
            if os.path.islink(target) and os.readlink(target) == mode:
                continue
            if os.path.lexists(target):
                os.remove(target)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            os.symlink(mode, target)
            copied += 1
            continue
        try:
            with open(target, "rb") as present:
                if (present.read() == content and not os.path.islink(target) and
                        os.stat(target).st_mode & 0o777 == mode & 0o777):
                    continue
        except OSError:
            pass
        if os.path.lexists(target):
            os.remove(target)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            out.write(content)
        os.chmod(target, mode & 0o777)
        copied += 1
    for root, dirs, files in os.walk(tree, topdown=True):
        if root == tree:
            dirs[:] = [d for d in dirs if d != "build"]
        for name in files + [d for d in dirs if os.path.islink(os.path.join(root, d))]:
            path = os.path.join(root, name)
            if os.path.relpath(path, tree) not in wanted:
                os.remove(path)
                removed += 1
    for root, dirs, files in os.walk(tree, topdown=False):
        if root != tree and not os.path.relpath(root, tree).startswith("build") \
                and not os.listdir(root):
            os.rmdir(root)
    head = subprocess.run(["git", "rev-parse", "--short", "HEAD"], check=True,
                          capture_output=True, text=True).stdout.strip()
    print(f"mutate: scratch tree at {head}: {copied} files written, {removed} removed")

# ---------------------------------------------------------------------------------------------
# Generating mutants

# Every folder of src/ and the tools and scripts a player or packager runs.
PLACES = ["src/app", "src/audio", "src/formats", "src/game", "src/platform", "src/render",
          "src/scene", "src/text", "tools/replay", "tools/preview", "packaging/zephrane.sh",
          "scripts/play.sh"]

STRING = re.compile(r'"(?:[^"\\]|\\.)*"' + r"|'(?:[^'\\]|\\.)*'")
NUMBER = re.compile(r"(?<![\w.])(\d+\.\d*f?|\d+)(?![\w.])")


def code_part(line, shell):
    """The line with strings blanked and its comment cut, so operators are only found in code."""
    masked = STRING.sub(lambda m: m.group(0)[0] + " " * (len(m.group(0)) - 2) + m.group(0)[-1],
                        line)
    cut = masked.find("#" if shell else "//")
    if shell:
        # '#' starts a comment only at a word's start ($# and ${x#y} are code).
        cut = next((m.start() for m in re.finditer(r"(?:^|\s)#", masked)), -1)
    return masked if cut < 0 else masked[:cut] + " " * (len(masked) - cut)


def swaps(table):
    return [(re.compile(pattern), replacement, kind) for pattern, replacement, kind in table]


CPP_OPERATORS = swaps([
    (r" < ", " <= ", "relational boundary"), (r" <= ", " < ", "relational boundary"),
    (r" > ", " >= ", "relational boundary"), (r" >= ", " > ", "relational boundary"),
    (r" == ", " != ", "negated condition"), (r" != ", " == ", "negated condition"),
    (r"!(?=[\w(])", "", "dropped !"),
    (r" && ", " || ", "logical"), (r" \|\| ", " && ", "logical"),
    (r" \+ ", " - ", "arithmetic"), (r" - ", " + ", "arithmetic"),
    (r" \* ", " / ", "arithmetic"), (r" / ", " * ", "arithmetic"),
    (r"\btrue\b", "false", "true/false"), (r"\bfalse\b", "true", "true/false"),
])
SHELL_OPERATORS = swaps([
    (r" -lt ", " -le ", "relational boundary"), (r" -le ", " -lt ", "relational boundary"),
    (r" -gt ", " -ge ", "relational boundary"), (r" -ge ", " -gt ", "relational boundary"),
    (r" -eq ", " -ne ", "negated condition"), (r" -ne ", " -eq ", "negated condition"),
    (r" = ", " != ", "negated condition"), (r" != ", " = ", "negated condition"),
    (r" -z ", " -n ", "negated condition"), (r" -n ", " -z ", "negated condition"),
    (r"! ", "", "dropped !"),
    (r" && ", " || ", "logical"), (r" \|\| ", " && ", "logical"),
    (r"\btrue\b", "false", "true/false"), (r"\bfalse\b", "true", "true/false"),
])
CPP_CALL = re.compile(r"^(\s*)[\w:.>\-\[\]]+(?:<[\w:, ]*>)?\(.*\);\s*$")
SHELL_SKIP = re.compile(
    r"^\s*(?:#|$|\}|\{|;;|(?:if|elif|while|for|until|case|fi|done|esac|then|else|do)\b|.*\)$|"
    r".*\(\) *\{)")


def line_mutants(line, shell, assertion=False):
    """Every standard mutation of one line: (kind, new line). In an assertion the message (its
    text, and the && that joins it) is left alone: only a slip elsewhere would ever show it."""
    code = code_part(line, shell)
    stripped = code.strip()
    if not stripped or (not shell and (stripped.startswith(("#", "*", "/*")) or
                                       "static_assert" in code)):
        return []
    found = []
    for pattern, replacement, kind in (SHELL_OPERATORS if shell else CPP_OPERATORS):
        for m in pattern.finditer(code):
            if assertion and kind == "logical" and code[m.end():].startswith('"'):
                continue
            found.append((kind, line[:m.start()] + replacement + line[m.end():]))
    pure_virtual = re.search(r"\)\s*(?:const\s*)?(?:override\s*)?=\s*0;", code)
    for m in NUMBER.finditer(code if not pure_virtual else ""):
        text = m.group(1)
        if shell and not re.match(r".*(?:exit|return|-[a-z]{2}|\(\(|timeout) *$", code[:m.start()]):
            continue
        if "." in text:
            value = float(text.rstrip("f"))
            changed = [repr(value + 1), repr(value * 2)] if value else [repr(1.0)]
            suffix = "f" if text.endswith("f") else ""
            options = [c + suffix for c in changed]
        else:
            value = int(text)
            options = [str(value + 1)] + ([str(value * 2)] if value else [])
        for option in options:
            found.append(("literal", line[:m.start()] + option + line[m.end():]))
    for m in STRING.finditer(line if not assertion else ""):
        if m.start() >= len(code.rstrip()) or code[m.start()] not in "\"'":
            continue
        inner = m.group(0)
        letters = [i for i, c in enumerate(inner) if c.isalpha() and inner[i - 1] != "\\"
                   and i not in (0, len(inner) - 1)]
        for i in letters[:1] + letters[len(letters) // 2:len(letters) // 2 + 1]:
            c = inner[i]
            changed = chr(ord(c) + 1) if c not in "zZ" else chr(ord(c) - 1)
            found.append(("string character", line[:m.start() + i] + changed +
                          line[m.start() + i + 1:]))
    if shell:
        assignment = re.match(r"^\s*(?:local|readonly|export)?\s*\w+=", line)
        continued = line.rstrip().endswith(("\\", "|", "&&", "||", "("))
        if not SHELL_SKIP.match(line) and not assignment and not continued:
            indent = re.match(r"^\s*", line).group(0)
            found.append(("call removed", indent + ":"))
    else:
        call = CPP_CALL.match(code)
        if call and not re.match(r"^\s*(?:return|delete|throw|case|else|using)\b", code) \
                and "=" not in code.split("(")[0]:
            found.append(("call removed", call.group(1) + "{}"))
        ret = re.match(r"^(\s*return )(.+);\s*$", code)
        # Values that are already the empty one would give a mutant no test could tell apart.
        if ret and ret.group(2).strip() not in ("{}", "true", "false", "std::nullopt", "nullptr",
                                                "0", "\"\"", "std::string()"):
            found.append(("return value", ret.group(1) + "{};"))
    return [(kind, new) for kind, new in found if new != line]


def place_files(place):
    if os.path.isfile(place):
        return [place]
    found = []
    for root, _, files in os.walk(place):
        found += [os.path.join(root, f) for f in files if f.endswith((".cpp", ".h"))]
    return sorted(found)


def known_equivalents(path="scripts/mutations/equivalent.list"):
    """(file, line, replacement) -> the entry's last line: "equivalent: " and why no behaviour can
    show it, or "out of reach: " and why no test reaches it (the entry format of mutate.sh).
    Entries begin at their "== " line, blank lines or not; one that is not one file, one line,
    its replacement and one reason stops the run rather than being dropped without a word."""
    known = {}
    try:
        with open(path, encoding="utf-8") as source:
            text = source.read()
    except OSError:
        return known
    reasons = ("equivalent: ", "out of reach: ")
    for entry in re.split(r"^(?=== )", text, flags=re.M)[1:]:
        found = [(key, line[len(key):]) for line in entry.split("\n")[1:]
                 for key in ("file: ", "- ", "+ ") + reasons if line.startswith(key)]
        fields = dict(found)
        if len(found) != 4 or len(fields) != 4 or not set(reasons) & fields.keys():
            sys.exit(f"mutants: {path}: {entry.splitlines()[0]}: wants one 'file: ', '- ' and "
                     "'+ ' line and one reason")
        known[(fields["file: "], fields["- "], fields["+ "])] = next(
            key + fields[key] for key in reasons if key in fields)
    return known


def pick(number, path, line):
    return random.Random(f"{number}:{path}:{line}")


def generate(per_place, number, out):
    equivalents = known_equivalents()
    by_place = []
    for place in PLACES:
        lines = []
        for path in place_files(place):
            shell = path.endswith(".sh")
            with open(path, encoding="utf-8") as source:
                text = source.read().split("\n")
            in_block = False
            open_parentheses = 0  # of an assertion that runs on over the next lines
            for index, line in enumerate(text):
                if not shell and "/*" in line and "*/" not in line:
                    in_block = True
                if in_block:
                    in_block = "*/" not in line
                    continue
                code = code_part(line, shell)
                start = re.search(r"assert\(", code) if not shell else None
                assertion = open_parentheses > 0 or start is not None
                if assertion:
                    counted = code if open_parentheses > 0 else code[start.start():]
                    open_parentheses += counted.count("(") - counted.count(")")
                # Only lines that occur once can be found again by the list's exact match.
                if text.count(line) == 1:
                    lines.append((path, index + 1, line, shell, assertion))
        # Each line's rank and mutation depend only on the number, its file and its own text, so
        # an edit elsewhere leaves the rest of the sample as it was.
        lines.sort(key=lambda entry: pick(number, entry[0], entry[2]).random())
        entries = []
        for path, line_number, line, shell, assertion in lines:
            if len(entries) == 4 * per_place:
                break
            options = line_mutants(line, shell, assertion)
            if not options:
                continue
            kind, new = pick(number, path, line).choice(options)
            name = place.split("/")[-1].replace(".sh", "")
            why = equivalents.get((path, line, new))
            entries.append(
                f"== gen-{name}-{len(entries) + 1}: {kind} at {path}:{line_number}\n"
                f"place: {place}\nfile: {path}\n- {line}\n+ {new}\n" +
                (f"{why}\n" if why else ""))
        by_place.append(entries)
    # Place by place in turn, so that every place is reached early in the run.
    interleaved = [entry for rank in range(4 * per_place) for entries in by_place
                   if rank < len(entries) for entry in [entries[rank]]]
    with open(out, "w", encoding="utf-8") as listing:
        listing.write(f"# Generated mutants, {per_place} a place once built (number {number}).\n\n")
        listing.write("\n".join(interleaved))


# ---------------------------------------------------------------------------------------------
# Which programs run a line

# Quick programs first: their whole run takes seconds; the game's end-to-end runs take minutes.
ORDER = ["game_test", "audio_test", "render_model_test", "hardening_loading_test",
         "resources_test", "damaged_data_test", "image_fuzzer_replay", "model_fuzzer_replay",
         "config_fuzzer_replay", "replay_game_test", "game_keyboard_e2e_test", "desktop_test",
         "install"]


def programs(build):
    shown = json.loads(subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                                      check=True, capture_output=True, text=True).stdout)
    grouped = {}
    for test in shown["tests"]:
        command = test.get("command") or ["?"]
        program = "install" if test["name"].startswith("Install.") else \
            os.path.basename(command[0])
        grouped.setdefault(program, []).append(test["name"])
    rank = {name: i for i, name in enumerate(ORDER)}
    return dict(sorted(grouped.items(), key=lambda item: (rank.get(item[0], 50), item[0])))


def coverage_map(out, reports):
    lines = {}
    for report in reports:
        program = os.path.basename(report).removesuffix(".json")
        with open(report, encoding="utf-8") as source:
            data = json.load(source)
        for entry in data["files"]:
            for line in entry["lines"]:
                key = f"{entry['file']}:{line['line_number']}"
                lines.setdefault(key, [])
                if line["count"] > 0:
                    lines[key].append(program)
    with open(out, "w", encoding="utf-8") as target:
        json.dump(lines, target)


def test_source(program):
    path = "tests/install_test.sh" if program == "install" else f"tests/{program}.cpp"
    try:
        with open(path, encoding="utf-8") as source:
            return source.read()
    except OSError:
        return ""


# A test with no recorded time yet counts as this many seconds.
UNKNOWN_COST = 10.0
# Tests are run in waves of one CTest call each (two at a time), the quickest wave first: a
# mutant the quick tests kill costs seconds, and the minute-long replays run only for mutants
# that everything quicker missed. A wave holds the tests up to its bound in seconds.
WAVE_BOUNDS = [1.0, 4.0, 16.0, float("inf")]


def test_costs(baseline_log):
    """Each test's run time in the last run of the unchanged tree (CTest's output), or nothing
    before the first. CTest's own cost data is no use here: the stopped runs of mutants
    distort it."""
    costs = {}
    try:
        with open(baseline_log, encoding="utf-8") as source:
            for row in source:
                found = re.search(r"Test +#\d+: (\S+) \.+ +Passed +([\d.]+) sec", row)
                if found:
                    costs[found[1]] = float(found[2])
    except OSError:
        pass
    return costs


def chosen_programs(lines, suite, path, line):
    if not lines:
        return list(suite)  # no map (--all-tests): every program
    key = f"{path}:{line}"
    if path.endswith(".sh"):
        # No counters in a shell script: the programs whose tests name it or its installed
        # command (games/NAME), else every program.
        names = (os.path.basename(path), "games/" + os.path.basename(path).removesuffix(".sh"))
        return [p for p in suite if any(n in test_source(p) for n in names)] or list(suite)
    if lines.get(key):
        return [p for p in suite if p in lines[key]]
    if path.endswith(".cpp"):
        # A line no program was seen to execute: one without code of its own (a constant the
        # compiler folds, a row of a table), or one run only by a process that then dies of a
        # signal and so never writes its counters. Either way it can only change what its own
        # source file does: the programs that execute any of its lines.
        prefix = path + ":"
        return [p for p in suite if any(k.startswith(prefix) and p in ran
                                        for k, ran in lines.items())]
    # A header's line that no program executes; a header's constant reaches every file that
    # includes it.
    return [] if key in lines else list(suite)


def select(map_file, programs_file, path, line, baseline_log, left_out, killers_file):
    """One line per wave of tests, quickest first: the wave's programs (space-separated), a tab,
    a CTest regex of its tests. No line at all: no test executes the line. The tests that killed
    earlier mutants of the same file (KILLERS: file, tab, test) come first, in a wave of their
    own: a mutant is most often killed by what killed its neighbours."""
    with open(map_file, encoding="utf-8") as source:
        lines = json.load(source)
    with open(programs_file, encoding="utf-8") as source:
        suite = json.load(source)
    killers = set()
    try:
        with open(killers_file, encoding="utf-8") as source:
            killers = {row.rstrip("\n").split("\t")[1] for row in source
                       if row.startswith(path + "\t")}
    except OSError:
        pass
    costs = test_costs(baseline_log)
    rank = {program: i for i, program in enumerate(suite)}
    # A killer's time is moved below zero, into the first wave, keeping the killers' own order.
    tests = sorted((costs.get(name, UNKNOWN_COST) - (1e6 if name in killers else 0.0),
                    rank[program], name, program)
                   for program in chosen_programs(lines, suite, path, line)
                   if program not in left_out.split(",") for name in suite[program])
    low = float("-inf")
    for bound in [0.0] + WAVE_BOUNDS:
        wave = [t for t in tests if low <= t[0] < bound]
        low = bound
        if not wave:
            continue
        programs_of_wave = " ".join(dict.fromkeys(t[3] for t in wave))
        print(f"{programs_of_wave}\t{exactly(t[2] for t in wave)}")


def exactly(names):
    """A CTest regex that matches these test names and no other."""
    return "^(" + "|".join(re.sub(r"([.+*?()\[\]^$|])", r"\\\1", n) for n in names) + ")$"


def each_program(programs_file):
    """One line per program: its name, a tab, a CTest regex of its tests."""
    with open(programs_file, encoding="utf-8") as source:
        for program, names in json.load(source).items():
            print(f"{program}\t{exactly(names)}")


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "mirror" and len(argv) == 3:
        mirror(argv[2])
    elif command == "generate" and len(argv) == 5:
        generate(int(argv[2]), argv[3], argv[4])
    elif command == "programs" and len(argv) == 3:
        print(json.dumps(programs(argv[2])))
    elif command == "coverage-map" and len(argv) >= 4:
        coverage_map(argv[2], argv[3:])
    elif command == "each-program" and len(argv) == 3:
        each_program(argv[2])
    elif command == "select" and len(argv) == 9:
        select(*argv[2:9])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
