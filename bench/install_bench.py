"""Times silent installs of the benchmark corpus under Wine, each in a fresh
prefix made from the template, and prints the side-by-side table.

Called by bench/install.sh, which builds the corpus and the installers and
sets QP_WINE_ARCH and QP_WINE_TEMPLATE before this module imports the harness.

usage: install_bench.py OUTDIR RUNS

A run's time is the wall time from starting the command to the end of the
prefix's Wine server (`wineserver -w`): work that Wine finishes after the
program has exited (closing files, writing the registry) is counted, making
the prefix is not. Every run is checked afterwards: each corpus file must be
under the target folder with its size and SHA-256; a run that fails the check
gives no time at all. Silent uninstalls are timed the same way, each after an
untimed install into a fresh prefix, and checked: no file may be left in the
target folder."""

import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "harness"))
import wine  # noqa: E402  (needs the path above)

TIMEOUT = 900


class Case:
    """One way of putting the corpus into the prefix."""

    def __init__(self, key, label, exe, args, targets, host_tree=None, process_name=None, uninstall=None):
        self.key = key
        self.label = label
        self.exe = exe                  # host path copied into C:\ beforehand (not timed)
        self.args = args                # the command after `wine`
        self.targets = targets          # Windows folders one of which must hold the corpus
        self.host_tree = host_tree      # a folder copied to C:\src beforehand (not timed)
        self.process_name = process_name or (os.path.basename(exe) if exe else None)
        self.uninstall = uninstall      # the command after `wine` that removes it silently
        self.times = []
        self.failure = None
        self.uninstall_times = []
        self.uninstall_failure = None
        self.peak = {}                  # corpus label -> peak VmHWM bytes
        self.lifetime = None            # seconds the program's processes ran (full corpus)


def corpus_listing(corpus_dir):
    """{relative path: (size, sha256)} of every file under corpus_dir."""
    listing = {}
    for folder, _, files in os.walk(corpus_dir):
        for name in files:
            path = os.path.join(folder, name)
            listing[os.path.relpath(path, corpus_dir)] = (os.path.getsize(path), sha256(path))
    return listing


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def check_install(prefix, case, listing):
    """None when one target folder holds every corpus file intact, else what is wrong."""
    if not case.targets:
        return None  # the reference row installs nothing
    problems = []
    for target in case.targets:
        root = prefix.host_path(target)
        if not os.path.isdir(root):
            problems.append(f"{target}: no such folder")
            continue
        missing = wrong = 0
        found_bytes = 0
        for rel, (size, digest) in listing.items():
            path = os.path.join(root, rel)
            if not os.path.isfile(path):
                missing += 1
                continue
            found_bytes += os.path.getsize(path)
            if os.path.getsize(path) != size or sha256(path) != digest:
                wrong += 1
        if missing == 0 and wrong == 0:
            return None
        problems.append(f"{target}: {len(listing) - missing} of {len(listing)} files "
                        f"({found_bytes:,} bytes), {wrong} with other contents")
    return "; ".join(problems)


def prepare(prefix, case):
    """Puts the installer (or the source tree) into the prefix; not timed."""
    if case.exe:
        shutil.copy(case.exe, prefix.drive_c)
    if case.host_tree:
        shutil.copytree(case.host_tree, os.path.join(prefix.drive_c, "src"))
    # Written-back data of the previous run must not land in this run's time.
    subprocess.run(["sync"])


def run_once(case, listing, watch=False):
    """One run in a fresh prefix: (seconds, exit code, problem or None, watcher or None)."""
    with wine.Prefix(name="bench-" + case.key) as prefix:
        prepare(prefix, case)
        start = time.perf_counter()
        watcher = ProgramWatcher(case.process_name, start) if watch else None
        if watcher:
            watcher.start()
        try:
            result = prefix.run(case.args, timeout=TIMEOUT, cwd=prefix.drive_c)
            code = result.returncode
        except subprocess.TimeoutExpired:
            code = "timeout"
        subprocess.run([wine.WINESERVER, "-w"], env=prefix.env, timeout=TIMEOUT)
        seconds = time.perf_counter() - start
        if watcher:
            watcher.stop()
        problem = None if code != "timeout" else f"no end within {TIMEOUT} s"
        problem = problem or check_install(prefix, case, listing)
        return seconds, code, problem, watcher


def left_behind(prefix, case):
    """None when no file is left in any target folder, else how many are."""
    left = 0
    for target in case.targets:
        for _, _, files in os.walk(prefix.host_path(target)):
            left += len(files)
    return f"{left} files left in the target folder" if left else None


def uninstall_once(case, listing):
    """An untimed install, then one timed uninstall: (seconds, exit code, problem or None)."""
    with wine.Prefix(name="bench-un-" + case.key) as prefix:
        prepare(prefix, case)
        result = prefix.run(case.args, timeout=TIMEOUT, cwd=prefix.drive_c)
        subprocess.run([wine.WINESERVER, "-w"], env=prefix.env, timeout=TIMEOUT)
        problem = check_install(prefix, case, listing)
        if problem:
            return 0.0, result.returncode, "the install before it failed: " + problem
        subprocess.run(["sync"])
        start = time.perf_counter()
        try:
            code = prefix.run(case.uninstall, timeout=TIMEOUT, cwd=prefix.drive_c).returncode
        except subprocess.TimeoutExpired:
            code = "timeout"
        # Uninstallers finish after their process: ours in its clean-up script, NSIS's in its copy.
        subprocess.run([wine.WINESERVER, "-w"], env=prefix.env, timeout=TIMEOUT)
        seconds = time.perf_counter() - start
        problem = f"no end within {TIMEOUT} s" if code == "timeout" else left_behind(prefix, case)
        return seconds, code, problem


class ProgramWatcher(threading.Thread):
    """Polls every process that runs the program, until stopped: their peak
    resident set (VmHWM) and how long they ran. Wine runs each Windows
    process as one Linux process, so the peak is the program's working set
    plus Wine's own mappings in it. A process counts once it runs the
    program itself, not while Wine's loader still carries its name as an
    argument (that wait is Wine starting the prefix)."""

    def __init__(self, name, start):
        super().__init__(daemon=True)
        self.program = name.lower().encode()  # not "name": Thread has one
        self.start_time = start
        self.peak = 0
        self.first_seen = None
        self.last_seen = None
        self._stop_event = threading.Event()

    def runs_program(self, cmdline):
        program = cmdline.split(b"\0", 1)[0].lower()
        return program == self.program or program.endswith(b"\\" + self.program)

    def run(self):
        while not self._stop_event.is_set():
            now = time.perf_counter() - self.start_time
            for pid in os.listdir("/proc"):
                if not pid.isdigit():
                    continue
                try:
                    with open(f"/proc/{pid}/cmdline", "rb") as f:
                        # A process that has ended but is not yet reaped has none.
                        if not self.runs_program(f.read()):
                            continue
                    with open(f"/proc/{pid}/status") as f:
                        for line in f:
                            if line.startswith("VmHWM:"):
                                self.peak = max(self.peak, int(line.split()[1]) * 1024)
                except OSError:
                    continue
                if self.first_seen is None:
                    self.first_seen = now
                self.last_seen = now
            self._stop_event.wait(0.02)

    def lifetime(self):
        """Seconds from the first poll that saw the program running to the last, or None."""
        return None if self.first_seen is None else self.last_seen - self.first_seen

    def stop(self):
        self._stop_event.set()
        self.join()


def median_row(times):
    return min(times), statistics.median(times), max(times)


def main(argv):
    out, runs = argv[0], int(argv[1])
    arch = wine.ARCH
    corpus = os.path.join(out, "corpus")
    half = os.path.join(out, "half", "corpus")
    listing = corpus_listing(corpus)
    half_listing = corpus_listing(half)
    corpus_bytes = sum(size for size, _ in listing.values())
    half_bytes = sum(size for size, _ in half_listing.values())

    def path(name):
        return os.path.join(out, name)

    # The MSI puts 32-bit packages under "Program Files (x86)" in a 64-bit prefix.
    msi_targets = ["C:\\Program Files\\Bench\\Corpus", "C:\\Program Files (x86)\\Bench\\Corpus"]
    cases = [Case("ours", "ours, level 2 (default)", path("Setup-ours.exe"),
                  ["C:\\Setup-ours.exe", "/a", "/d:C:\\Bench"], ["C:\\Bench"],
                  uninstall=["C:\\Bench\\Uninstall.EXE", "/u:Bench Corpus", "/a"]),
             Case("ours-small", "ours, Codec = small", path("Setup-ours-small.exe"),
                  ["C:\\Setup-ours-small.exe", "/a", "/d:C:\\Bench"], ["C:\\Bench"],
                  uninstall=["C:\\Bench\\Uninstall.EXE", "/u:Bench Corpus", "/a"]),
             Case("msi", "MSI (wixl, MSZIP), msiexec /qn", path("peer.msi"),
                  ["msiexec", "/i", "C:\\peer.msi", "/qn"], msi_targets, process_name="msiexec.exe",
                  uninstall=["msiexec", "/x", "C:\\peer.msi", "/qn"])]
    if arch == "32":
        for comp in ("zlib", "lzma"):
            exe = path(f"peer-nsis-{comp}.exe")
            cases.append(Case("nsis-" + comp, f"NSIS peer, {comp}", exe,
                              [f"C:\\peer-nsis-{comp}.exe", "/S", "/D=C:\\Bench"], ["C:\\Bench"],
                              uninstall=["C:\\Bench\\uninstall.exe", "/S"]))
    floor = Case("xcopy", "plain copy (xcopy /e), the floor", None,
                 ["xcopy.exe", "/e", "/i", "/q", "/y", "C:\\src", "C:\\Bench"], ["C:\\Bench"],
                 host_tree=corpus, process_name="xcopy.exe")
    cases.append(floor)
    idle = Case("idle", "Wine alone: cmd /c exit (installs nothing)", None,
                ["cmd.exe", "/c", "exit"], [], process_name="cmd.exe")
    cases.append(idle)
    by_key = {c.key: c for c in cases}

    print(f"timing {len(cases)} ways x {runs} runs under wine{arch}, a fresh prefix each "
          f"(prefixes: {wine.TEMPLATE})", file=sys.stderr)
    # Rounds take the cases in turn, so that a slow spell of the shared machine hits them alike.
    for round_no in range(runs):
        for case in cases:
            if case.failure:
                continue
            seconds, code, problem, _ = run_once(case, listing)
            note = f"exit {code}" + (f", NOT INSTALLED: {problem}" if problem else "")
            print(f"  round {round_no + 1} {case.key:10} {seconds:7.2f} s  {note}", file=sys.stderr)
            if problem:
                case.failure = f"exit code {code}; {problem}"
            else:
                case.times.append(seconds)

    removable = [c for c in cases if c.uninstall]
    print(f"timing {len(removable)} silent uninstalls x {runs} runs, each after an untimed install", file=sys.stderr)
    for round_no in range(runs):
        for case in removable:
            if case.uninstall_failure:
                continue
            seconds, code, problem = uninstall_once(case, listing)
            note = f"exit {code}" + (f", NOT REMOVED: {problem}" if problem else "")
            print(f"  round {round_no + 1} {case.key:10} {seconds:7.2f} s  {note}", file=sys.stderr)
            if problem:
                case.uninstall_failure = f"exit code {code}; {problem}"
            else:
                case.uninstall_times.append(seconds)

    # Peak memory and process lifetime: separate runs, since polling /proc
    # costs CPU that the timed runs should not share.
    print("peak memory runs", file=sys.stderr)
    half_ours = Case("ours-half", "ours, half corpus", path("Setup-ours-half.exe"),
                     ["C:\\Setup-ours-half.exe", "/a", "/d:C:\\Bench"], ["C:\\Bench"])
    watched = [(c, listing, "full") for c in cases] + [(half_ours, half_listing, "half")]
    for case, lst, label in watched:
        target = by_key["ours"] if case is half_ours else case  # the row the figure belongs to
        if target.failure:
            continue
        _, code, problem, watcher = run_once(case, lst, watch=True)
        lifetime = watcher.lifetime()
        print(f"  {case.key:10} {label}: peak {watcher.peak / 2**20:.1f} MiB, ran "
              + (f"{lifetime:.2f} s" if lifetime is not None else "unseen") + f", exit {code}"
              + (f", NOT INSTALLED: {problem}" if problem else ""), file=sys.stderr)
        if not problem and watcher.peak:
            target.peak[label] = watcher.peak
        if not problem and label == "full":
            target.lifetime = lifetime

    report(out, cases, floor, runs, arch, len(listing), corpus_bytes, len(half_listing), half_bytes)


def report(out, cases, floor, runs, arch, files, corpus_bytes, half_files, half_bytes):
    ours = cases[0]
    load = open("/proc/loadavg").read().split()[:3]
    print(f"== {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, {os.cpu_count()} cores, "
          f"load {' '.join(load)}")
    print(f"corpus: {files} files, {corpus_bytes:,} bytes; wine{arch} ({wine.WINE}); "
          f"{runs} runs each, min/median/max; prefixes made by {wine.prefix_copy_method() or '?'}")
    stub = os.path.realpath(os.path.join(out, "stub.exe"))
    built = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime(os.path.getmtime(stub)))
    print(f"our installer: {stub} (built {built}) with the corpus appended by qpack")
    print()
    print("Silent install, wall time to the end of the Wine server | min s | median s | max s "
          "| ours / this (median) | this / plain copy (median) | median less Wine alone s")
    floor_median = statistics.median(floor.times) if floor.times else None
    ours_median = statistics.median(ours.times) if ours.times and not ours.failure else None
    idle = next(c for c in cases if c.key == "idle")
    idle_median = statistics.median(idle.times) if idle.times else None
    for case in cases:
        if case.failure or not case.times:
            print(f"{case.label} | not measured: {case.failure or 'no run'}")
            continue
        lo, med, hi = median_row(case.times)
        installs = case is not idle
        vs_ours = f"{ours_median / med:.2f}" if ours_median and installs else ""
        vs_floor = f"{med / floor_median:.2f}" if floor_median and installs else ""
        beyond = f"{med - idle_median:.2f}" if idle_median and installs else ""
        print(f"{case.label} | {lo:.2f} | {med:.2f} | {hi:.2f} | {vs_ours} | {vs_floor} | {beyond}")
    print()
    print("Silent uninstall, wall time to the end of the Wine server | min s | median s | max s | ours / this (median)")
    ours_removal = statistics.median(ours.uninstall_times) if ours.uninstall_times and not ours.uninstall_failure \
        else None
    for case in cases:
        if not case.uninstall:
            continue
        if case.uninstall_failure or not case.uninstall_times:
            print(f"{case.label}, uninstall | not measured: {case.uninstall_failure or 'no run'}")
            continue
        lo, med, hi = median_row(case.uninstall_times)
        vs_ours = f"{ours_removal / med:.2f}" if ours_removal else ""
        print(f"{case.label}, uninstall | {lo:.2f} | {med:.2f} | {hi:.2f} | {vs_ours}")
    print()
    if ours_median:
        goals = []
        for key, limit in (("msi", 0.6), ("nsis-zlib", 0.6)):
            peer = next((c for c in cases if c.key == key and c.times and not c.failure), None)
            if peer:
                r = ours_median / statistics.median(peer.times)
                goals.append(f"ours / {key} = {r:.2f} (goal <= {limit}: {'met' if r <= limit else 'NOT met'})")
        small = next((c for c in cases if c.key == "ours-small" and c.times and not c.failure), None)
        if small:
            r = statistics.median(small.times) / ours_median
            goals.append(f"ours, Codec = small / ours = {r:.2f} (goal <= 1.15: {'met' if r <= 1.15 else 'NOT met'})")
        if floor_median:
            r = ours_median / floor_median
            goals.append(f"ours / plain copy = {r:.2f} (goal <= 1.5: {'met' if r <= 1.5 else 'NOT met'})")
        print("goals: " + "; ".join(goals))
    else:
        print(f"goals: no figure for ours: the installer did not install the corpus ({ours.failure})")
    print()

    print("Installer size | bytes | % of corpus | ours / this")
    ours_size = os.path.getsize(ours.exe)
    for case in cases:
        if not case.exe:
            continue
        size = os.path.getsize(case.exe)
        print(f"{case.label} | {size:,} | {100.0 * size / corpus_bytes:.2f} | {ours_size / size:.3f}")
    print(f"our stub ({os.path.basename(stub)}, the program without the archive) | {os.path.getsize(stub):,} | |")
    for comp in ("zlib", "lzma"):
        empty = os.path.join(out, f"peer-nsis-{comp}-empty.exe")
        if os.path.exists(empty):
            print(f"NSIS peer, {comp}, with an empty payload | {os.path.getsize(empty):,} | |")
    print()

    print("Program's own run (its processes, first to last seen, polled every 20 ms in one untimed run) "
          "| s | ours / this")
    for case in cases:
        if case.lifetime is None:
            print(f"{case.label} | not measured: {case.failure or 'no process of that name seen'} |")
            continue
        installs = case.key != "idle"
        vs_ours = f"{ours.lifetime / case.lifetime:.2f}" if ours.lifetime and case.lifetime and installs else ""
        print(f"{case.label} | {case.lifetime:.2f} | {vs_ours}")
    print()

    print("Peak working set (VmHWM of the program's Wine process) | payload bytes | peak MiB | peak / payload")
    for case in cases:
        if case.key == "idle":
            continue
        if case.failure:
            print(f"{case.label} | {corpus_bytes:,} | not measured: did not install |")
            continue
        for label, size in (("full", corpus_bytes), ("half", half_bytes)):
            if label == "full" and label not in case.peak:
                print(f"{case.label} | {size:,} | not measured: no process of that name seen |")
            if label in case.peak:
                name = case.label + (f", first {half_files} files by path (half the bytes)" if label == "half" else "")
                print(f"{name} | {size:,} | {case.peak[label] / 2**20:.1f} | {case.peak[label] / size:.3f}")
    if "full" in ours.peak and "half" in ours.peak:
        slope = (ours.peak["full"] - ours.peak["half"]) / (corpus_bytes - half_bytes)
        print(f"ours: growth between the two payloads: {slope:.3f} bytes of peak per payload byte")


if __name__ == "__main__":
    main(sys.argv[1:])
