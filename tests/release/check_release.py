#!/usr/bin/env python3
"""Checks of the release archives (README, Releases).

check_release.py contents DIST SOURCE ZIP...   the zips named, their files and sums
check_release.py dryrun DIST ZIP PROGRAM        the unpacked dry-run program under Wine
check_release.py rehearse DIST ZIP PROGRAM TABLE
                                                the program's documented deployment script
                                                rehearsed under Wine's cmd by the batch TABLE
check_release.py workflow DIST ZIP...           each zip's documented capture workflow under
                                                Wine's cmd on two example machines
"""
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

DRY_RUN_REFUSED = 78
DRAVONI = ("\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#"
           "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}")
# A run of each program on the default example machine: arguments, drive, image size.
DRY_RUNS = {
    "skelder": (["\\\\.\\PhysicalDrive0", "/D:fw.bin", "/s"], "pd0-halvern", 1 << 20),
    "norrixupdater": (["/T:\\\\.\\PhysicalDrive2", "/D:fw.bin"], "pd2-norrix", 392 * 512),
    "marlisk": (["/t:" + DRAVONI, "/d:fw.bin"], "pd1-dravoni", 80 * 512),
}
PE_MACHINES = {"win64": 0x8664, "win32": 0x014C}
# The images the documented deployment scripts send, sized for the example machines' drives.
SCRIPT_IMAGES = {"skelder": ("fw.bin", 1 << 20), "norrixupdater": ("fw.bin", 392 * 512),
                 "marlisk": ("VOKA0101.enc", 80 * 512)}
# In every zip: the program that captures a machine, its dry-run flavour and its document.
CAPTURE = "capture-machine"
# The capture workflow rehearsed on these examples ends as the deployment script does on them.
WORKFLOW_MACHINES = {"default-machine": 0, "locked-drives": 6}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def read_sums(text):
    sums = {}
    for line in text.splitlines():
        digest, name = line.split("  ", 1)
        sums[name] = digest
    return sums


def pe_machine(exe):
    header = int.from_bytes(exe[0x3C:0x40], "little")
    return int.from_bytes(exe[header + 4:header + 6], "little") if exe[header:header + 4] == b"PE\0\0" else None


def check_zip(path, source):
    folder = path.stem
    program, _, bits = re.fullmatch(r"([a-z]+)-([0-9.]+)-(win64|win32)", folder).groups()
    with zipfile.ZipFile(path) as archive:
        files = {info.filename: archive.read(info) for info in archive.infolist()}
    examples = sorted(p.name for p in (source / "examples").glob("*.json"))
    expected = {f"{program}.exe", f"{program}-dryrun.exe", f"{program}.txt", "machine-format.txt",
                f"{CAPTURE}.exe", f"{CAPTURE}-dryrun.exe", f"{CAPTURE}.txt",
                "BUILDINFO", "SHA256SUMS"} | {f"examples/{name}" for name in examples}
    check(set(files) == {f"{folder}/{name}" for name in expected},
          f"{path.name}: holds {sorted(files)}, not {sorted(expected)} in {folder}/")
    files = {name[len(folder) + 1:]: data for name, data in files.items()}
    if set(files) != expected:
        return
    sums = read_sums(files["SHA256SUMS"].decode())
    check(sums == {name: sha256(data) for name, data in files.items() if name != "SHA256SUMS"},
          f"{path.name}: SHA256SUMS does not match its files")
    for text, doc in ((f"{program}.txt", f"{program}.md"), ("machine-format.txt", "dry-run-machines.md"),
                      (f"{CAPTURE}.txt", f"{CAPTURE}.md")):
        data = files[text]
        check(b"\n" not in data.replace(b"\r\n", b""), f"{path.name}: {text} has a bare LF")
        check(data.replace(b"\r\n", b"\n") == (source / "docs" / doc).read_bytes(),
              f"{path.name}: {text} is not docs/{doc}")
    for name in examples:
        check(files[f"examples/{name}"] == (source / "examples" / name).read_bytes(),
              f"{path.name}: examples/{name} differs from the source")
    description = "(dry run".encode("utf-16-le")
    for name, exe_bits in ((program, bits), (CAPTURE, "win32")):
        real, dry = files[f"{name}.exe"], files[f"{name}-dryrun.exe"]
        for exe_name, exe in ((f"{name}.exe", real), (f"{name}-dryrun.exe", dry)):
            check(pe_machine(exe) == PE_MACHINES[exe_bits],
                  f"{path.name}: {exe_name} is not a {exe_bits} program")
        check(description in dry and description not in real,
              f"{path.name}: only {name}'s dry-run program's description says dry run")
        check(b'level="asInvoker"' in dry and b"requireAdministrator" not in dry,
              f"{path.name}: {name}'s dry-run manifest asks for elevation")
    # The capture program checks its rights itself, and says so, rather than ask for elevation.
    check(b'level="asInvoker"' in files[f"{CAPTURE}.exe"],
          f"{path.name}: {CAPTURE}.exe's manifest asks for elevation")
    head = subprocess.run(["git", "-C", str(source), "rev-parse", "HEAD"], capture_output=True,
                          text=True, check=True).stdout.strip()
    info = files["BUILDINFO"].decode()
    check(f"commit: {head}" in info, f"{path.name}: BUILDINFO does not name commit {head}")
    for package in ("g++-mingw-w64-", "binutils-mingw-w64-"):
        check(re.search(rf"^  {re.escape(package)}\S+ \S+$", info, re.M),
              f"{path.name}: BUILDINFO has no version of {package}*")


def contents(dist, source, names):
    sums = read_sums((dist / "SHA256SUMS").read_text())
    check(sorted(sums) == sorted(names), f"dist/SHA256SUMS lists {sorted(sums)}, not {sorted(names)}")
    captures = set()
    for name in names:
        path = dist / name
        if not path.exists():
            failures.append(f"{name} was not made")
            continue
        check(sums.get(name) == sha256(path.read_bytes()), f"dist/SHA256SUMS is wrong for {name}")
        check_zip(path, source)
        with zipfile.ZipFile(path) as archive:
            captures |= {sha256(archive.read(n)) for n in archive.namelist()
                         if n.endswith(f"/{CAPTURE}.exe")}
    check(len(captures) == 1, f"the zips hold {len(captures)} different {CAPTURE}.exe, not one")


def unpack(dist, zip_name, scratch):
    with zipfile.ZipFile(dist / zip_name) as archive:
        archive.extractall(scratch)
    return scratch / Path(zip_name).stem


def wine(exe, arguments, cwd, settings):
    environment = {k: v for k, v in os.environ.items() if not k.startswith("WINSIM_")}
    environment.update(settings, WINEDEBUG="-all")
    # The build names Wine's 64-bit loader for 64-bit programs (FWU_WINE_LOADER).
    loader = os.environ.get("FWU_WINE_LOADER") or "wine"
    return subprocess.run([loader, str(exe)] + arguments, cwd=cwd, env=environment,
                          capture_output=True, timeout=240)


def dryrun(dist, zip_name, program):
    arguments, drive, size = DRY_RUNS[program]
    with tempfile.TemporaryDirectory() as scratch:
        scratch = Path(scratch)
        unpacked = unpack(dist, zip_name, scratch)
        exe = unpacked / f"{program}-dryrun.exe"
        image = bytes((i * 7 + i // 512) & 0xFF for i in range(size))
        (scratch / "fw.bin").write_bytes(image)
        trace = scratch / "trace.jsonl"
        ran = wine(exe, arguments, scratch,
                   {"WINSIM_MACHINE": str(unpacked / "examples" / "default-machine.json"),
                    "WINSIM_TRACE": str(trace), "WINSIM_CLOCK": "virtual"})
        check(ran.returncode == 0, f"{program}-dryrun on the default machine: exit {ran.returncode}\n"
                                   f"{ran.stdout.decode(errors='replace')}")
        records = [json.loads(line) for line in trace.read_text().splitlines()] if trace.exists() else []
        exits = [r for r in records if r.get("call") == "exit"]
        drives = {d.get("id"): d for d in exits[-1].get("drives", [])} if exits else {}
        check(drives.get(drive, {}).get("sha256") == sha256(image),
              f"{program}-dryrun: the trace does not show the image on {drive}")
        # Without a readable machine description: refused before anything else.
        for setting in ({}, {"WINSIM_MACHINE": ""}, {"WINSIM_MACHINE": str(scratch / "missing.json")}):
            trace.unlink(missing_ok=True)
            ran = wine(exe, arguments, scratch, dict(setting, WINSIM_TRACE=str(trace)))
            check(ran.returncode == DRY_RUN_REFUSED and ran.stdout == b"" and not trace.exists(),
                  f"{program}-dryrun with {setting or 'no WINSIM_MACHINE'}: exit {ran.returncode}, "
                  f"output {ran.stdout[:200]!r}, trace {trace.exists()}")


def documented_script(text):
    """The batch block under "A deployment script" of a program's text, or None."""
    section = text.replace("\r\n", "\n").partition("### A deployment script\n")[2]
    found = re.search(r"```bat\n(.*?)```", section, re.S)
    return found.group(1) if found else None


def rehearse(dist, zip_name, program, table):
    with tempfile.TemporaryDirectory() as scratch:
        unpacked = unpack(dist, zip_name, Path(scratch))
        script = documented_script((unpacked / f"{program}.txt").read_text())
        if script is None:
            failures.append(f"{program}.txt shows no deployment script")
            return
        (unpacked / "deploy.cmd").write_bytes(script.replace("\n", "\r\n").encode())
        (unpacked / "rehearse.cmd").write_bytes(
            Path(table).read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
        name, size = SCRIPT_IMAGES[program]
        (unpacked / name).write_bytes(bytes((i * 7 + i // 512) & 0xFF for i in range(size)))
        ran = wine("cmd", ["/c", "rehearse.cmd", program], unpacked, {})
        print(ran.stdout.decode(errors="replace"), end="")
        print(ran.stderr.decode(errors="replace"), end="", file=sys.stderr)
        check(ran.returncode == 0, f"the rehearsal of {program}'s deployment script failed "
                                   f"(exit {ran.returncode})")


def documented_block(text, heading, first_line):
    """The batch block under a heading of a program's text whose first line is first_line."""
    section = text.replace("\r\n", "\n").partition(f"### {heading}\n")[2].partition("\n### ")[0]
    for block in re.findall(r"```bat\n(.*?)```", section, re.S):
        if block.startswith(first_line):
            return block
    return None


def workflow(dist, zip_names):
    """Each zip's capture workflow, as its text shows it: the example machine captured with the
    dry-run capture program, then the deployment script run with the program's dry-run flavour on
    the capture; it must end as the script does on the example itself."""
    for zip_name in zip_names:
        program = re.fullmatch(r"([a-z]+)-.*", Path(zip_name).stem).group(1)
        with tempfile.TemporaryDirectory() as scratch:
            unpacked = unpack(dist, zip_name, Path(scratch))
            text = (unpacked / f"{program}.txt").read_text()
            deploy = documented_script(text)
            rehearsal = documented_block(text, "Rehearsing on a capture of your machine",
                                         "@echo off\nrem rehearse-capture.cmd")
            if deploy is None or rehearsal is None:
                failures.append(f"{program}.txt shows no deployment script or no capture rehearsal")
                continue
            script_name = re.search(r"^rem (\S+\.cmd):", deploy, re.M).group(1)
            for name, script in ((script_name, deploy), ("rehearse-capture.cmd", rehearsal)):
                (unpacked / name).write_bytes(script.replace("\n", "\r\n").encode())
            image, size = SCRIPT_IMAGES[program]
            (unpacked / image).write_bytes(bytes((i * 7 + i // 512) & 0xFF for i in range(size)))
            for machine, code in WORKFLOW_MACHINES.items():
                captured = unpacked / "captured.json"
                captured.unlink(missing_ok=True)
                ran = wine("cmd", ["/c", "rehearse-capture.cmd", machine], unpacked, {})
                output = ran.stdout.decode(errors="replace")
                check(ran.returncode == code,
                      f"{program}: the capture workflow on {machine} ended with {ran.returncode}, "
                      f"not {code}:\n{output}{ran.stderr.decode(errors='replace')}")
                try:
                    description = json.loads(captured.read_text())
                except (OSError, ValueError):
                    description = {}
                check(description.get("capture", {}).get("program") == CAPTURE,
                      f"{program}: the capture workflow on {machine} left no capture")
                print(f"{program} on a capture of {machine}: {ran.returncode}")
            # Without a machine the dry-run capture program captures nothing.
            ran = wine(unpacked / f"{CAPTURE}-dryrun.exe", [], unpacked, {})
            check(ran.returncode == DRY_RUN_REFUSED and ran.stdout == b"",
                  f"{CAPTURE}-dryrun without WINSIM_MACHINE: exit {ran.returncode}")


def main(argv):
    if argv[1] == "contents":
        contents(Path(argv[2]), Path(argv[3]), argv[4:])
    elif argv[1] == "dryrun":
        dryrun(Path(argv[2]), argv[3], argv[4])
    elif argv[1] == "workflow":
        workflow(Path(argv[2]), argv[3:])
    else:
        rehearse(Path(argv[2]), argv[3], argv[4], argv[5])
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
