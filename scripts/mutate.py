#!/usr/bin/env python3
"""Mutation testing of one source file against its GoogleTest program.

Makes small faults in SOURCE one at a time (flip a comparison, swap && and ||, change an arithmetic
operator or a constant, drop a statement, swap two call arguments, replace a condition by true or
false), rebuilds only the test program that links the file, runs it, and reports each mutant as
killed (a test failed or the run timed out), survived (every test still passed) or not compiling.
The candidates are found by regular expressions on the text with comments and string literals
blanked out; a fixed seed samples N of them, so the same file and seed give the same mutants on a
later run (use that to compare figures before and after strengthening the tests).

The source file is restored after every mutant and always on exit (also on Ctrl-C or SIGTERM); a
backup kept in the build directory restores it on the next start should the process have been
killed outright. Work in your own worktree: the mutated file must never reach anyone else.

The machine is shared: run it in the background at low priority, for example
    nice -n 19 python3 scripts/mutate.py scene/walking.cpp -n 40 > mut-walking.txt 2>&1 &
"""

import argparse
import fcntl
import os
import random
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Which test program links the library a source folder builds into.
SUITE_BY_FOLDER = {
    "base": "test_base",
    "graphics": "test_graphics",
    "staticdata": "test_staticdata",
    "scene": "test_scene",
    "shell": "test_shell",
}

REL_OPS = {"<": ["<=", ">="], "<=": ["<", ">"], ">": [">=", "<="], ">=": [">", "<"], "==": ["!="], "!=": ["=="]}
ARITH_OPS = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "%": ["*"]}
ASSIGN_OPS = {"+=": ["-="], "-=": ["+="], "*=": ["/="], "/=": ["*="], "|=": ["&="], "&=": ["|="]}
BIT_OPS = {"&": ["|"], "|": ["&"], "<<": [">>"], ">>": ["<<"]}

# Calls whose two arguments commute: swapping them makes no fault.
SYMMETRIC_CALLS = {"min", "max", "Near", "swap", "hypot"}

CONTROL_WORDS = ("if", "else", "for", "while", "do", "switch", "case", "default", "return", "break",
                 "continue", "goto", "try", "catch", "namespace", "class", "struct", "enum", "using",
                 "typedef", "template", "public", "private", "protected", "static_assert")


class Mutant:
    def __init__(self, line, start, end, replacement, rule):
        self.line = line  # 0-based line index
        self.start = start
        self.end = end
        self.replacement = replacement
        self.rule = rule
        self.status = None
        self.seconds = 0.0
        self.ident = -1

    def key(self):
        return (self.line, self.start, self.end, self.replacement)

    def apply(self, lines):
        out = list(lines)
        text = out[self.line]
        out[self.line] = text[:self.start] + self.replacement + text[self.end:]
        return out

    def describe(self, lines):
        text = lines[self.line]
        before = text.strip()
        after = (text[:self.start] + self.replacement + text[self.end:]).strip()
        return f"#{self.ident} line {self.line + 1} [{self.rule}]\n    - {before}\n    + {after}"


def mask_code(lines):
    """Each line with comments, string and character literals replaced by spaces (same length),
    and a flag per line telling whether it is a preprocessor line."""
    masked, preprocessor = [], []
    in_block = False
    for text in lines:
        out = []
        i, n = 0, len(text)
        pre = not in_block and text.lstrip().startswith("#")
        while i < n:
            c = text[i]
            if in_block:
                if text.startswith("*/", i):
                    in_block = False
                    out.append("  ")
                    i += 2
                else:
                    out.append(" ")
                    i += 1
            elif text.startswith("//", i):
                out.append(" " * (n - i))
                i = n
            elif text.startswith("/*", i):
                in_block = True
                out.append("  ")
                i += 2
            elif c in "\"'":
                j = i + 1
                while j < n and text[j] != c:
                    j += 2 if text[j] == "\\" else 1
                j = min(j + 1, n)
                out.append(c + " " * (j - i - 2) + c if j - i >= 2 else " " * (j - i))
                i = j
            else:
                out.append(c)
                i += 1
        masked.append("".join(out))
        preprocessor.append(pre)
    return masked, preprocessor


def matching_paren(code, open_at):
    depth = 0
    for j in range(open_at, len(code)):
        if code[j] == "(":
            depth += 1
        elif code[j] == ")":
            depth -= 1
            if depth == 0:
                return j
    return -1


def is_simple_statement(masked, index):
    """A whole statement on one line that can be dropped: ends in ';', parentheses balance, the
    previous code line ended a statement or opened/closed a block (or was an unbraced if/else), and it
    is no declaration, return or control statement."""
    code = masked[index].strip()
    if not code.endswith(";") or code.count("(") != code.count(")"):
        return False
    first = re.match(r"[A-Za-z_]\w*", code)
    if first and first.group(0) in CONTROL_WORDS:
        return False
    if re.match(r"(const\s+|static\s+|constexpr\s+|auto\b|unsigned\b|signed\b|int\b|bool\b|float\b|"
                r"double\b|char\b|long\b|short\b|u?int\d+_t\b|size_t\b)", code):
        return False
    # "Type name = ..." or "Type name;" or "Type& name" declarations.
    if re.match(r"[A-Za-z_][\w:<>,\s]*[\s&*]+[A-Za-z_]\w*\s*(=|;|\(|\{|\[)", code) and not re.match(
            r"[A-Za-z_][\w.\->\[\]]*\s*(=|\+=|-=|\*=|/=|\|=|&=|\()", code):
        return False
    j = index - 1
    while j >= 0 and not masked[j].strip():
        j -= 1
    if j < 0:
        return False
    prev = masked[j].strip()
    if prev.endswith((";", "{", "}", ":")):
        return True
    return bool(re.match(r"(\}\s*)?(if|else|for|while)\b", prev)) and prev.endswith(")") or prev == "else"


def find_mutants(lines):
    masked, preprocessor = mask_code(lines)
    found = {}

    def add(line, start, end, replacement, rule):
        m = Mutant(line, start, end, replacement, rule)
        found.setdefault(m.key(), m)

    for i, code in enumerate(masked):
        if preprocessor[i] or not code.strip():
            continue
        # Leave declarations at namespace level alone except constants (array sizes and the like
        # rarely compile when changed, and a changed constant is a real fault worth checking).
        stripped = code.strip()
        if stripped.startswith(("template", "using ", "typedef ", "static_assert")):
            continue

        # Comparisons and logic: spaced binary operators as the formatter writes them.
        for m in re.finditer(r"(?<=\s)(<=|>=|==|!=|<|>|&&|\|\|)(?=\s)", code):
            op = m.group(1)
            if op in ("<", ">") and re.search(r"\btemplate\b|\bstd::|static_cast|reinterpret_cast", code):
                continue
            if op == "&&":
                add(i, m.start(1), m.end(1), "||", "logic")
            elif op == "||":
                add(i, m.start(1), m.end(1), "&&", "logic")
            else:
                for rep in REL_OPS[op]:
                    add(i, m.start(1), m.end(1), rep, "compare")
        # Arithmetic and bit operators (spaced, binary).
        for m in re.finditer(r"(?<=[\w)\]] )(\+|-|\*|/|%|<<|>>|&|\|)(?= [\w(!~-])", code):
            op = m.group(1)
            table = ARITH_OPS if op in ARITH_OPS else BIT_OPS
            for rep in table[op]:
                add(i, m.start(1), m.end(1), rep, "arith")
        for m in re.finditer(r"(?<=\s)(\+=|-=|\*=|/=|\|=|&=)(?=\s)", code):
            for rep in ASSIGN_OPS[m.group(1)]:
                add(i, m.start(1), m.end(1), rep, "arith")
        for m in re.finditer(r"\+\+|--", code):
            add(i, m.start(), m.end(), "--" if m.group(0) == "++" else "++", "arith")
        # Negation dropped.
        for m in re.finditer(r"(?<![\w)\]!=<>])!(?!=)", code):
            add(i, m.start(), m.end(), "", "negate")
        # Constants: integer and float literals, true/false.
        for m in re.finditer(r"(?<![\w.])(\d+)(\.\d*f?|[uU]?[lL]{0,2}|f)?(?![\w.])", code):
            digits, suffix = m.group(1), m.group(2) or ""
            if "." in suffix or suffix == "f":
                value = float(m.group(0).rstrip("f"))
                for rep in (value * 2 if value else 1.0, value / 2 if value else -1.0):
                    add(i, m.start(), m.end(), repr(float(rep)) + ("f" if suffix.endswith("f") else ""), "constant")
            else:
                value = int(digits, 0) if not digits.startswith("0") or digits == "0" else int(digits, 8)
                for rep in {value + 1, max(value - 1, 0)} - {value}:
                    add(i, m.start(1), m.end(1), str(rep), "constant")
        for m in re.finditer(r"\b(true|false)\b", code):
            add(i, m.start(), m.end(), "false" if m.group(1) == "true" else "true", "constant")
        # Conditions replaced by true / false.
        for m in re.finditer(r"\b(if|while)\s*\(", code):
            open_at = m.end() - 1
            close = matching_paren(code, open_at)
            if close < 0:
                continue
            for rep in ("true", "false"):
                if m.group(1) == "while" and rep == "true":
                    continue  # an endless loop teaches nothing but the timeout
                add(i, open_at + 1, close, rep, "condition")
        # Two simple call arguments swapped.
        for m in re.finditer(r"(?<=[\w>])\(([^(),]+), ([^(),]+)\)", code):
            text = lines[i]
            a, b = text[m.start(1):m.end(1)], text[m.start(2):m.end(2)]
            name = re.search(r"(\w+)\s*$", code[:m.start()])
            if a.strip() != b.strip() and not (name and name.group(1) in SYMMETRIC_CALLS):
                add(i, m.start(1), m.end(2), f"{b}, {a}", "swap-args")
        # A whole statement dropped.
        if is_simple_statement(masked, i):
            indent = len(code) - len(code.lstrip())
            add(i, indent, len(lines[i].rstrip()), ";", "drop")
    mutants = sorted(found.values(), key=lambda m: (m.line, m.start, m.rule, m.replacement))
    for n, m in enumerate(mutants):
        m.ident = n
    return mutants


class SourceGuard:
    """Holds the original text; restores it on exit, on signals and from a leftover backup."""

    def __init__(self, path, backup):
        self.path = path
        self.backup = backup
        if os.path.exists(backup):
            with open(backup, "rb") as f:
                leftover = f.read()
            print(f"restoring {path} from a backup left by an interrupted run", file=sys.stderr)
            self._write(path, leftover)
            os.remove(backup)
        with open(path, "rb") as f:
            self.original = f.read()
        self.stat = os.stat(path)

    @staticmethod
    def _write(path, data):
        tmp = path + ".mutate-tmp"
        with open(tmp, "wb") as f:
            f.write(data)
        os.replace(tmp, path)

    def write_mutant(self, data):
        if not os.path.exists(self.backup):
            self._write(self.backup, self.original)
        self._write(self.path, data)

    def restore(self):
        with open(self.path, "rb") as f:
            current = f.read()
        if current != self.original:
            self._write(self.path, self.original)
        if os.path.exists(self.backup):
            os.remove(self.backup)


def run(cmd, timeout, cwd):
    start = time.monotonic()
    try:
        proc = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout, start_new_session=True)
        return proc.returncode, proc.stdout.decode(errors="replace"), time.monotonic() - start
    except subprocess.TimeoutExpired as e:
        return None, (e.stdout or b"").decode(errors="replace"), time.monotonic() - start


def build(args):
    return run(["ninja", "-C", args.build_dir, "-j", str(args.jobs), args.target], None, ROOT)


def test_command(args):
    exe = os.path.join(args.build_dir, "tests", args.target)
    cmd = [exe, "--gtest_brief=1", "--gtest_fail_fast"]
    if args.filter:
        cmd.append("--gtest_filter=" + args.filter)
    return cmd


def main():
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("source", help="source file, relative to the repository root (e.g. scene/walking.cpp)")
    parser.add_argument("-n", "--count", type=int, default=40, help="mutants to sample (default 40; 0 = all)")
    parser.add_argument("--seed", type=int, default=1, help="sampling seed (default 1)")
    parser.add_argument("--ids", help="run exactly these mutant numbers (comma separated) instead of a sample")
    parser.add_argument("--target", help="test program to rebuild and run (default: by the source's folder)")
    parser.add_argument("--filter", help="GoogleTest filter for the test program (default: every test)")
    parser.add_argument("--build-dir", default="build/mutation",
                        help="build directory, configured here when missing (default build/mutation)")
    parser.add_argument("--timeout", type=float, default=0,
                        help="seconds per test run (default: 5x the unmutated run, at least 20)")
    parser.add_argument("--jobs", type=int, default=1, help="ninja jobs (default 1)")
    parser.add_argument("--list", action="store_true", help="only list the sampled mutants")
    args = parser.parse_args()

    source = os.path.normpath(args.source)
    path = os.path.join(ROOT, source)
    if not os.path.isfile(path):
        parser.error(f"no such source file: {source}")
    if not args.target:
        folder = source.split(os.sep)[0]
        if folder not in SUITE_BY_FOLDER:
            parser.error(f"no test program known for folder '{folder}'; give --target")
        args.target = SUITE_BY_FOLDER[folder]
    args.build_dir = os.path.join(ROOT, args.build_dir)

    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    mutants = find_mutants(lines)
    if args.ids:
        wanted = {int(x) for x in args.ids.split(",") if x.strip()}
        chosen = [m for m in mutants if m.ident in wanted]
    elif args.count and args.count < len(mutants):
        chosen = sorted(random.Random(args.seed).sample(mutants, args.count), key=lambda m: m.ident)
    else:
        chosen = mutants
    print(f"{source}: {len(mutants)} candidate mutants, running {len(chosen)} (seed {args.seed}) "
          f"against {args.target}", flush=True)
    if args.list:
        for m in chosen:
            print(m.describe(lines))
        return 0

    if not os.path.exists(os.path.join(args.build_dir, "build.ninja")):
        env_args = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        rc, out, _ = run(["cmake", "-S", ROOT, "-B", args.build_dir, "-G", "Ninja",
                          "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DTL_BENCH=OFF"] + env_args, None, ROOT)
        if rc != 0:
            print(out)
            return 2

    # One run at a time per build directory: two ninjas in one tree spoil each other's logs.
    lock = open(os.path.join(args.build_dir, "mutate.lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        print(f"another mutation run uses {args.build_dir}; give --build-dir", file=sys.stderr)
        return 2
    backup = os.path.join(args.build_dir, "mutate-backup-" + source.replace(os.sep, "_"))
    guard = SourceGuard(path, backup)

    def on_signal(signum, frame):
        raise KeyboardInterrupt()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    try:
        rc, out, secs = build(args)
        if rc != 0:
            print("the unmutated tree does not build:\n" + out[-4000:])
            return 2
        rc, out, base_secs = run(test_command(args), None, ROOT)
        if rc != 0:
            print("the unmutated tests fail:\n" + out[-4000:])
            return 2
        timeout = args.timeout or max(20.0, 5 * base_secs)
        print(f"unmutated run: {base_secs:.1f}s; timeout per mutant {timeout:.0f}s", flush=True)

        for n, m in enumerate(chosen, 1):
            guard.write_mutant("\n".join(m.apply(lines)).encode("utf-8"))
            start = time.monotonic()
            rc, out, _ = build(args)
            if rc != 0:
                m.status = "not compiling"
            else:
                rc, out, _ = run(test_command(args), timeout, ROOT)
                m.status = "killed (timeout)" if rc is None else ("survived" if rc == 0 else "killed")
            m.seconds = time.monotonic() - start
            guard.restore()
            print(f"[{n}/{len(chosen)}] {m.status:16} #{m.ident} line {m.line + 1} [{m.rule}] "
                  f"({m.seconds:.0f}s)", flush=True)
    except KeyboardInterrupt:
        print("interrupted; source restored", file=sys.stderr)
    finally:
        guard.restore()
        # Leave the build directory matching the restored source.
        build(args)

    done = [m for m in chosen if m.status]
    killed = sum(1 for m in done if m.status.startswith("killed"))
    survived = [m for m in done if m.status == "survived"]
    broken = sum(1 for m in done if m.status == "not compiling")
    scored = killed + len(survived)
    score = f"{100.0 * killed / scored:.0f}%" if scored else "n/a"
    print(f"\n{source}: killed {killed}, survived {len(survived)}, not compiling {broken} "
          f"(of {len(done)} run); killed {score} of the compiling mutants")
    if survived:
        print("surviving mutants:")
        for m in survived:
            print(m.describe(lines))
    return 0 if len(done) == len(chosen) else 130


if __name__ == "__main__":
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main())
