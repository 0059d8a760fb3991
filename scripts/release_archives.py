#!/usr/bin/env python3
"""Release archives of the Windows programs (README, Releases).

release_archives.py --source DIR --bin DIR... --dryrun DIR... --out DIR PROGRAM...

For each program: <program>-<version>-<win64|win32>.zip in --out, holding the program, its
dry-run flavour, its document and the guide to the dry-run machines as Windows text, the example machines,
capture-machine (the program that describes a real machine for the dry-run programs) with its
dry-run flavour and document, BUILDINFO and a SHA256SUMS of its files; then --out/SHA256SUMS of
the zips. --bin and --dryrun may each name several folders (one Windows tree per bitness); a
file is taken from the first that holds it. The version and bitness are read from the program's own binary, so the name cannot
disagree with it. The zips depend only on their contents: fixed entry order, times and modes.
"""
import argparse
import hashlib
import os
import re
import struct
import subprocess
import sys
import time
import zipfile
from pathlib import Path

MACHINES = {0x8664: ("win64", "x86_64-w64-mingw32"), 0x014C: ("win32", "i686-w64-mingw32")}
# In every archive beside the program: it captures the machine a deployment is rehearsed on.
CAPTURE = "capture-machine"


def pe_machine(exe: bytes) -> int:
    (header,) = struct.unpack_from("<I", exe, 0x3C)
    if exe[header : header + 4] != b"PE\0\0":
        raise SystemExit("not a PE file")
    return struct.unpack_from("<H", exe, header + 4)[0]


def product_version(exe: bytes) -> str:
    # The version resource's ProductVersion string (UTF-16), after its key and padding.
    key = "ProductVersion\0".encode("utf-16-le")
    found = re.search(re.escape(key) + rb"(?:\0\0)*((?:[0-9.]\0)+)\0\0", exe)
    if not found:
        raise SystemExit("no ProductVersion in the version resource")
    return found.group(1).decode("utf-16-le")


def run(*command: str) -> str:
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip()


def toolchain_packages(triplet: str) -> list[str]:
    """The Debian packages (with versions) of the compiler, runtime and binutils used."""
    compiler = f"{triplet}-g++-posix"
    files = [run("sh", "-c", f"command -v {compiler}"),
             run(compiler, "-print-prog-name=cc1plus"),
             run(compiler, "-print-libgcc-file-name")]
    files += [run(compiler, f"-print-file-name={lib}")
              for lib in ("libstdc++.a", "libmsvcrt.a", "libwinpthread.a")]
    files += [run("sh", "-c", f"command -v {triplet}-{tool}") for tool in ("as", "ld", "windres")]
    packages = set()
    for file in files:
        owner = run("dpkg", "-S", os.path.realpath(file))
        packages.add(owner.split(":", 1)[0])
    return [run("dpkg-query", "-W", "-f=${Package} ${Version}", p) for p in sorted(packages)]


def commit_of(source: Path) -> tuple[str, int]:
    """The commit (marked when the tree differs from it) and its time."""
    try:
        commit = run("git", "-C", str(source), "rev-parse", "HEAD")
        when = int(run("git", "-C", str(source), "log", "-1", "--format=%ct"))
        if run("git", "-C", str(source), "status", "--porcelain", "--untracked-files=no"):
            commit += " with uncommitted changes"
        return commit, when
    except (subprocess.CalledProcessError, FileNotFoundError):
        return "unknown (not a git checkout)", 315532800


def windows_text(path: Path) -> bytes:
    return path.read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def sums(files: dict[str, bytes]) -> bytes:
    return "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n"
                   for name, data in sorted(files.items())).encode()


def write_zip(path: Path, folder: str, files: dict[str, bytes], when: int) -> None:
    stamp = time.gmtime(max(when, 315532800))[:6]  # zip times start in 1980
    with zipfile.ZipFile(path, "w") as archive:
        for name in sorted(files):
            info = zipfile.ZipInfo(f"{folder}/{name}", stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3
            mode = 0o755 if name.endswith(".exe") else 0o644
            info.external_attr = (0o100000 | mode) << 16
            archive.writestr(info, files[name])


def built(folders: list, name: str) -> bytes:
    """The file of that name from the first folder that holds it."""
    for folder in folders:
        if (folder / name).is_file():
            return (folder / name).read_bytes()
    sys.exit(f"{name} is in none of {', '.join(map(str, folders))}")


def archive(program: str, args, commit: str, when: int, tools: dict) -> Path:
    exe = built(args.bin, f"{program}.exe")
    bits, triplet = MACHINES[pe_machine(exe)]
    version = product_version(exe)
    folder = f"{program}-{version}-{bits}"
    capture = built(args.bin, f"{CAPTURE}.exe")
    capture_bits, capture_triplet = MACHINES[pe_machine(capture)]
    for each in (triplet, capture_triplet):
        if each not in tools:
            tools[each] = toolchain_packages(each)
    files = {
        f"{program}.exe": exe,
        f"{program}-dryrun.exe": built(args.dryrun, f"{program}-dryrun.exe"),
        f"{program}.txt": windows_text(args.source / "docs" / f"{program}.md"),
        # The holder's guide to the dry-run machines; the full format, with the test support,
        # stays in docs/machine-format.md for developers.
        "machine-format.txt": windows_text(args.source / "docs" / "dry-run-machines.md"),
        f"{CAPTURE}.exe": capture,
        f"{CAPTURE}-dryrun.exe": built(args.dryrun, f"{CAPTURE}-dryrun.exe"),
        f"{CAPTURE}.txt": windows_text(args.source / "docs" / f"{CAPTURE}.md"),
    }
    for example in sorted((args.source / "examples").glob("*.json")):
        files[f"examples/{example.name}"] = example.read_bytes()
    lines = [f"program: {program} {version} ({bits})\n",
             f"with: {CAPTURE} {product_version(capture)} ({capture_bits})\n",
             f"commit: {commit}\n",
             f"SOURCE_DATE_EPOCH: {when}\n"]
    for each in dict.fromkeys([triplet, capture_triplet]):
        lines += [f"toolchain ({each}, Debian packages):\n"]
        lines += [f"  {package}\n" for package in tools[each]]
    files["BUILDINFO"] = "".join(lines).encode()
    files["SHA256SUMS"] = sums(files)
    path = args.out / f"{folder}.zip"
    write_zip(path, folder, files, when)
    return path


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    for option in ("--source", "--out"):
        parser.add_argument(option, type=Path, required=True)
    for option in ("--bin", "--dryrun"):
        parser.add_argument(option, type=Path, nargs="+", required=True)
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    commit, when = commit_of(args.source)
    if "SOURCE_DATE_EPOCH" in os.environ:
        when = int(os.environ["SOURCE_DATE_EPOCH"])
    args.out.mkdir(parents=True, exist_ok=True)
    tools: dict = {}
    zips = [archive(program, args, commit, when, tools) for program in args.programs]
    (args.out / "SHA256SUMS").write_bytes(sums({z.name: z.read_bytes() for z in zips}))
    for z in zips:
        print(z)
    return 0


if __name__ == "__main__":
    sys.exit(main())
