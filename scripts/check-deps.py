#!/usr/bin/env python3
"""Checks that every external command the builds and tests call comes from a package that
scripts/install-deps.sh installs, or from one those packages depend on (or an essential one).

The commands are read from what runs, not from a list kept by hand:
- each test of the build trees (ctest --show-only=json-v1), and the shell scripts they start;
- the build's own commands (each tree's ninja rules: compilers, archivers, linkers, resource
  compilers) and the programs the test support starts (its FWU_* entries of the CMake cache:
  Wine, Wine's 64-bit loader, qemu-i386);
- the project's shell scripts, .ci/run and the Makefile's recipes.
Each is resolved as the system would (PATH, then readlink -f through the alternatives links),
and its owning package is asked of dpkg.

Usage: check-deps.py [-v] [build tree ...]   (default: every tree under build/ with a cache)
"""
import glob
import json
import os
import re
import shlex
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Words after which the next word is the command that runs.
WRAPPERS = {"exec", "env", "time", "nice", "nohup", "timeout", "xvfb-run", "command", "xargs"}
# Shell functions the project's scripts define (scripts source each other's).
FUNCTIONS = set()
SHELL_WORDS = {"if", "then", "else", "elif", "fi", "for", "in", "do", "done", "while", "until",
               "case", "esac", "function", "{", "}", "!", "[[", "]]", "select", "coproc"}


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, check=False)


def listed_packages():
    result = run(os.path.join(ROOT, "scripts", "install-deps.sh"), "--list")
    if result.returncode != 0:
        sys.exit("install-deps.sh --list failed: " + result.stderr)
    return result.stdout.split()


def installed():
    """name:arch -> (status ok, essential, depends text, provides text) of installed packages."""
    out = run("dpkg-query", "-W", "-f",
              "${Package}:${Architecture}\t${db:Status-Abbrev}\t${Essential}/${Priority}\t"
              "${Pre-Depends}, ${Depends}\t${Provides}\n").stdout
    packages = {}
    for line in out.splitlines():
        name, status, essential, depends, provides = line.split("\t")
        if status.startswith("ii"):
            # Essential and required packages are on every Debian system.
            flag, _, priority = essential.partition("/")
            packages[name] = (flag == "yes" or priority == "required", depends, provides)
    return packages


def closure(roots, packages):
    """Installed packages reached from the roots and the essential ones through their
    dependencies (alternatives: whichever is installed; virtual names: their providers)."""
    providers = {}
    by_name = {}
    for full, (_, _, provides) in packages.items():
        name, arch = full.split(":")
        by_name.setdefault(name, []).append(full)
        for item in filter(None, (p.strip() for p in provides.split(","))):
            providers.setdefault(item.split()[0], []).append(full)

    def resolve(word, arch_hint):
        name, _, arch = word.partition(":")
        candidates = by_name.get(name, []) + providers.get(name, [])
        if arch and arch != "any":
            candidates = [c for c in candidates if c.endswith(":" + arch)
                          or c.endswith(":all")]
        elif arch_hint and any(c.endswith(":" + arch_hint) for c in candidates):
            candidates = [c for c in candidates
                          if c.endswith(":" + arch_hint) or c.endswith(":all")]
        return candidates

    native = run("dpkg", "--print-architecture").stdout.strip()
    pending = [c for r in roots for c in resolve(r, native if ":" not in r else None)]
    pending += [name for name, (essential, _, _) in packages.items() if essential]
    reached = set()
    while pending:
        full = pending.pop()
        if full in reached or full not in packages:
            continue
        reached.add(full)
        arch = full.split(":")[1]
        for clause in packages[full][1].split(","):
            for alternative in clause.split("|"):
                words = alternative.split()
                if words:
                    pending += resolve(words[0], None if arch == "all" else arch)
    return reached


def owner(path):
    """The package that installed a file (dpkg knows it by the name it shipped it under)."""
    variants = [path]
    for a, b in (("/usr/bin/", "/bin/"), ("/usr/sbin/", "/sbin/"), ("/usr/lib/", "/lib/")):
        if path.startswith(a):
            variants.append(b + path[len(a):])
        elif path.startswith(b):
            variants.append(a + path[len(b):])
    for variant in variants:
        result = run("dpkg-query", "-S", variant)
        if result.returncode == 0:
            owners = result.stdout.splitlines()[0].rsplit(":", 1)[0]
            return [o.strip() for o in owners.split(",")]
    return None


def shell_commands(text):
    """The words that stand where a command runs, in a shell text (heredocs left out)."""
    words = []
    lines = []
    heredoc_end = None
    for line in text.splitlines():
        if heredoc_end is not None:
            if line.strip() == heredoc_end:
                heredoc_end = None
            continue
        match = re.search(r"<<-?\s*'?\"?(\w+)'?\"?", line)
        if match:
            heredoc_end = match.group(1)
        lines.append(line)
    text = "\n".join(lines)
    # Arithmetic and parameter expansions and array values run nothing.
    text = re.sub(r"[A-Za-z_]\w*\+?=\([^)]*\)", "ARRAY=", text, flags=re.S)
    text = re.sub(r"\$?\(\(.*?\)\)", " VALUE ", text)
    text = re.sub(r"\$\{[^}]*\}", "VALUE", text)
    # Command substitutions, subshells and new lines start commands of their own.
    text = re.sub(r"\$\(|`|\(|\)", " ; ", text)
    text = text.replace("\\\n", " ").replace("\n", " ;\n")
    try:
        lexer = shlex.shlex(text, posix=True, punctuation_chars=";&|<>")
        lexer.whitespace_split = True
        lexer.commenters = "#"
        tokens = list(lexer)
    except ValueError:
        return words
    at_start = True
    skip_next = False  # a redirection's target
    in_header = False  # the words of a for/case/select line
    for token in tokens:
        if skip_next:
            skip_next = False
            continue
        if token and set(token) <= set("<>&") and set(token) & set("<>"):
            skip_next = not token.endswith("&")
            continue
        if token and set(token) <= set(";&|\n"):
            at_start = True
            in_header = False
            continue
        if in_header:
            if token in ("do", "in"):
                in_header = token == "in"
                at_start = token == "do"
            continue
        if not at_start:
            continue
        if token in ("for", "select", "case"):
            in_header = True
            continue
        if re.match(r"^[A-Za-z_]\w*\+?=", token) or token in SHELL_WORDS:
            continue
        at_start = False
        if not re.match(r"^[A-Za-z_./][\w./+-]*$", token) or token.isdigit():
            continue
        if "/" in token and not token.startswith("/"):
            continue
        if token in FUNCTIONS or token in ("VALUE", "MAKEVAR"):
            continue
        words.append(token)
        if token in WRAPPERS:
            at_start = True
    return words


def script_text(path):
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError):
        return None
    return text if text.startswith("#!") or path.endswith(".sh") else None


def makefile_recipes(path):
    lines = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("\t"):
                recipe = line[1:].lstrip("@-+ ")
                recipe = recipe.replace("$(MAKE)", "make")
                recipe = re.sub(r"\$\((\w+)\)", r"MAKEVAR", recipe).replace("$$", "$")
                lines.append(recipe.rstrip("\\\n"))
    return "\n".join(lines)


def main():
    verbose = "-v" in sys.argv[1:]
    trees = [a for a in sys.argv[1:] if a != "-v"] or sorted(os.path.dirname(p) for p in
                                   glob.glob(os.path.join(ROOT, "build", "*", "CMakeCache.txt")))
    commands = {}  # word or path -> where it was seen
    scripts = sorted(glob.glob(os.path.join(ROOT, "scripts", "*.sh")) +
                     glob.glob(os.path.join(ROOT, "tests", "**", "*.sh"), recursive=True) +
                     [os.path.join(ROOT, ".ci", "run")])
    for path in scripts:
        FUNCTIONS.update(re.findall(r"^\s*([A-Za-z_][\w-]*)\s*\(\)", script_text(path) or "",
                                    re.M))

    def note(word, where):
        commands.setdefault(word, where)

    def note_script(path, where):
        text = script_text(path)
        if text is None:
            return
        first = text.splitlines()[0] if text.startswith("#!") else ""
        for word in first[2:].split()[:2]:
            if not word.startswith("-"):
                note(word, where + " (interpreter)")
        for word in shell_commands(text):
            note(word, where)

    for tree in trees:
        shown = run("ctest", "--test-dir", tree, "--show-only=json-v1")
        if shown.returncode == 0:
            for test in json.loads(shown.stdout).get("tests", []):
                command = test.get("command") or []
                if not command:
                    continue
                where = f"test {test['name']} ({os.path.relpath(tree, ROOT)})"
                program = command[0]
                if program.startswith(os.path.join(ROOT, "build")):
                    continue  # built here
                if program.startswith(ROOT):
                    note_script(program, where)
                    continue
                note(program, where)
                if os.path.basename(program) in ("sh", "bash") and "-c" in command:
                    for word in shell_commands(command[command.index("-c") + 1]):
                        note(word, where)
        # The build's own commands: compilers, archivers, linkers, code generators.
        for name in ("CMakeFiles/rules.ninja", "build.ninja"):
            path = os.path.join(tree, name)
            if not os.path.exists(path):
                continue
            with open(path, encoding="utf-8") as f:
                for line in f:
                    match = re.match(r"^\s*(?:command|COMMAND) = (.+)$", line)
                    if match:
                        for word in shell_commands(match.group(1)):
                            note(word, f"the build ({os.path.relpath(path, ROOT)})")
        # The programs the test support starts, as the build found them.
        cache = os.path.join(tree, "CMakeCache.txt")
        with open(cache, encoding="utf-8") as f:
            for line in f:
                match = re.match(r"^(FWU_\w+):FILEPATH=(/.+)$", line.strip())
                if match and os.access(match.group(2), os.X_OK):
                    note(match.group(2), f"{match.group(1)} in {os.path.relpath(cache, ROOT)}")

    for path in scripts:
        note_script(path, os.path.relpath(path, ROOT))
    for word in shell_commands(makefile_recipes(os.path.join(ROOT, "Makefile"))):
        note(word, "Makefile")

    packages = installed()
    allowed = closure(listed_packages(), packages)
    native = run("dpkg", "--print-architecture").stdout.strip()

    def covered(package):
        if ":" in package:
            return package in allowed
        return f"{package}:{native}" in allowed or f"{package}:all" in allowed
    problems = []
    checked = 0
    for word, where in sorted(commands.items()):
        if word.startswith("/"):
            path = word
        else:
            kind = run("bash", "-c", 'type -t "$1"', "bash", word).stdout.strip()
            if kind in ("builtin", "keyword", "function", "alias"):
                continue
            path = shutil.which(word)
            if path is None:
                problems.append(f"{word}: not found on this machine (called by {where})")
                continue
        real = os.path.realpath(path)
        owners = owner(real) or owner(path)
        checked += 1
        if verbose:
            print(f"  {word} -> {real} ({', '.join(owners or ['no package'])})")
        if owners is None:
            problems.append(f"{word} ({real}): no package owns it (called by {where})")
        elif not any(covered(o) for o in owners):
            problems.append(f"{word} ({real}) comes from {', '.join(owners)}, which "
                            f"install-deps.sh does not install (called by {where})")
    for problem in problems:
        print("check-deps: " + problem)
    if problems:
        print(f"check-deps: {len(problems)} of {checked} commands not covered by "
              "scripts/install-deps.sh")
        return 1
    print(f"check-deps: all {checked} external commands come from packages "
          "scripts/install-deps.sh installs")
    return 0


if __name__ == "__main__":
    sys.exit(main())
