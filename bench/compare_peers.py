#!/usr/bin/python3
"""Times `morvane-batch --list` beside the other readers installed here, on the benchmark's
.xls and .xlsx design documents, whole processes, in one run, and prints medians and ratios.

    MORVANE_BENCH_DIR=/tmp/morvane-bench build-bench/bench/morvane-bench   # writes both files
    npm install --prefix bench xlsx                                       # SheetJS, optional
    /usr/bin/python3 bench/compare_peers.py [--runs N] [--batch build-bench/morvane-batch] [DIR]

Peers, each when installed: python3-xlrd (.xls; .xlsx too in xlrd 1.x), python3-openpyxl
(.xlsx, read-only mode), SheetJS from bench/node_modules, Gnumeric's ssconvert (to CSV), and
for .xlsx the floor: `unzip -p` of every part. hyperfine does the timing when it is installed;
otherwise each command runs --runs times here, alternating, and the median is taken. Peak
memory is each command's own, from one more run.
"""
import argparse
import json
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
# Where the benchmark puts the cells (see XlsReadBench.cpp and BenchWorkbooks.cpp):
# table-name row and column, first field row, the five field columns.
LAYOUTS = {
    ".xls": (1, 10, 1, [4, 5, 6, 7, 9]),
    ".xlsx": (3, 3, 6, [4, 5, 6, 7, 9]),
}
FILES = {".xls": "morvane-bench-300x99.xls", ".xlsx": "bench-300.xlsx"}


def python_has(module):
    return subprocess.run([PYTHON, "-c", f"import {module}"], capture_output=True).returncode == 0


def commands(batch, path, ext, sheets=300):
    name_row, name_col, first_row, cols = LAYOUTS[ext]
    values = ",".join(str(v) for v in [1, sheets, first_row, name_row, name_col, *cols])
    found = [("morvane-batch --list", [batch, "--list", "--layout-values", values, path])]
    if python_has("xlrd"):
        if ext == ".xls":
            found.append(("xlrd", [PYTHON, "-c", "import sys; sys.path.insert(0, sys.argv[1]); "
                                   "import xls_read_xlrd; xls_read_xlrd.read(sys.argv[2])", HERE, path]))
        elif subprocess.run([PYTHON, "-c", "import xlrd, sys; sys.exit(xlrd.__VERSION__ >= '2')"]).returncode == 0:
            found.append(("xlrd", [PYTHON, os.path.join(HERE, "compare_python_readers.py"), "xlrd", path]))
    if ext == ".xlsx" and python_has("openpyxl"):
        found.append(("openpyxl (read-only)", [PYTHON, os.path.join(HERE, "compare_python_readers.py"), "openpyxl", path]))
    if shutil.which("node") and os.path.isdir(os.path.join(HERE, "node_modules", "xlsx")):
        found.append(("SheetJS (node)", ["node", os.path.join(HERE, "sheetjs_read.cjs"), path,
                                         str(name_row), str(name_col), str(first_row), *map(str, cols)]))
    if shutil.which("ssconvert"):
        out = os.path.join(tempfile.gettempdir(), "morvane-peers-ssconvert.csv")
        found.append(("ssconvert to CSV", ["ssconvert", "-S", "--export-type=Gnumeric_stf:stf_csv", path, out]))
    if ext == ".xlsx" and shutil.which("unzip"):
        found.append(("floor: unzip -p", ["unzip", "-p", path]))
    return found


def peak_mib(argv):
    # GNU time reports the command's own peak; a child's rusage here would also count the
    # pages of this interpreter it was forked from.
    if os.path.exists("/usr/bin/time"):
        run = subprocess.run(["/usr/bin/time", "-f", "%M", *argv], stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True)
        return int(run.stderr.strip().splitlines()[-1]) / 1024
    with open(os.devnull, "wb") as null:
        child = subprocess.Popen(argv, stdout=null, stderr=null)
        _, _, usage = os.wait4(child.pid, 0)
    return usage.ru_maxrss / 1024


def with_hyperfine(found, runs):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        shell_words = [" ".join(f"'{a}'" for a in argv) for _, argv in found]
        subprocess.run(["hyperfine", "--style", "none", "-N", "--warmup", "2", "--runs", str(runs),
                        "--export-json", out.name, *shell_words], check=True, stdout=subprocess.DEVNULL)
        results = json.load(open(out.name))["results"]
    return [r["median"] * 1000 for r in results]


def by_hand(found, runs):
    times = [[] for _ in found]
    with open(os.devnull, "wb") as null:
        for _, argv in found:  # warm the page cache and the interpreters
            subprocess.run(argv, stdout=null, stderr=null)
        for _ in range(runs):
            for i, (_, argv) in enumerate(found):
                start = time.perf_counter()
                subprocess.run(argv, stdout=null, stderr=null)
                times[i].append((time.perf_counter() - start) * 1000)
    return [statistics.median(t) for t in times]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("dir", nargs="?", default=os.environ.get("MORVANE_BENCH_DIR", "/tmp/morvane-bench"))
    parser.add_argument("--batch", default=os.path.join(HERE, "..", "build-bench", "morvane-batch"))
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()
    timer = "hyperfine" if shutil.which("hyperfine") else "own loop"
    print(f"{os.uname().machine}, {os.cpu_count()} CPUs, load {os.getloadavg()[0]:.1f}; medians of {args.runs} runs ({timer})")
    for ext, name in FILES.items():
        path = os.path.join(args.dir, name)
        if not os.path.exists(path):
            print(f"\n{path}: missing (run morvane-bench with MORVANE_BENCH_DIR={args.dir})")
            continue
        found = commands(os.path.abspath(args.batch), path, ext)
        check = subprocess.run(found[0][1], capture_output=True, text=True)
        if check.returncode != 0 or check.stdout.count("\n") != 300:
            sys.exit(f"morvane-batch does not list the 300 tables of {path}: {check.stderr.strip()}")
        medians = with_hyperfine(found, args.runs) if timer == "hyperfine" else by_hand(found, args.runs)
        ours = medians[0]
        print(f"\n{name} ({os.path.getsize(path) / 1e6:.1f} MB)")
        print(f"  {'reader':<24}{'median ms':>10}{'peak MiB':>10}   ratio")
        for (label, argv), median in zip(found, medians):
            if label.startswith("floor"):
                ratio = f"morvane-batch takes {ours / median:.2f}x the floor"
            elif label.startswith("morvane"):
                ratio = ""
            else:
                ratio = f"{median / ours:.1f}x slower than morvane-batch"
            print(f"  {label:<24}{median:>10.1f}{peak_mib(argv):>10.1f}   {ratio}")


if __name__ == "__main__":
    main()
