#!/usr/bin/env python3
"""Mutation check: applies each fault of dev/mutants.txt to a copy of the tree,
one at a time, rebuilds, runs the tests of the fault's area (a CTest label) and
reports it killed or survived.

usage: dev/mutants.py [PATTERN...]   (only the faults whose line contains one)

A fault is one line: area @@ file @@ text @@ replacement @@ what it breaks.
The text must occur exactly once in the file ("\\n" stands for a line break),
so a list gone stale with the code stops the run instead of testing nothing."""
import os, shutil, signal, subprocess, sys, time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
work = os.path.join(top, "build-mutants")
src, binary, windows, logs = (os.path.join(work, d) for d in ("src", "bin", "win", "log"))
jobs = os.environ.get("JOBS", str(os.cpu_count()))


def run(cmd, log=None, cwd=None):
    with open(log or os.devnull, "a") as out:
        return subprocess.call(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL)


def area_tests(area):
    """(seconds, tree, name) of every test of the area, cheapest first: the
    times are the unchanged tree's, so a fault is mostly caught by a quick test."""
    tests = []
    for tree in trees(area):
        listing = subprocess.check_output(["ctest", "-N", "-L", "^%s$" % area], cwd=tree, text=True)
        names = [l.split(": ", 1)[1].strip() for l in listing.splitlines() if " Test " in l and ": " in l]
        cost = {}
        costs = os.path.join(tree, "Testing", "Temporary", "CTestCostData.txt")
        if os.path.exists(costs):
            for line in open(costs):
                f = line.split()
                if len(f) == 3:
                    cost[f[0]] = float(f[2])
        tests += [(cost.get(n, 60.0), tree, n) for n in names]
    return sorted(tests)


def fails(area, log):
    """Runs the area's tests two at a time, cheapest first; stops at the first failure."""
    pending, running, failed = area_tests(area), [], False
    with open(log, "a") as out:
        while (pending and not failed) or running:
            while pending and not failed and len(running) < 2:
                _, tree, name = pending.pop(0)
                running.append(subprocess.Popen(
                    ["ctest", "-R", "^%s$" % name, "--output-on-failure"], cwd=tree, stdout=out,
                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, start_new_session=True))
            time.sleep(0.2)
            for proc in [p for p in running if p.poll() is not None]:
                running.remove(proc)
                failed = failed or proc.returncode != 0
            if failed:
                for proc in running:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait()
                running = []
    return failed


def faults(patterns):
    for number, line in enumerate(open(os.path.join(top, "dev", "mutants.txt")), 1):
        if line.strip() and not line.startswith("#") and any(p in line for p in patterns):
            fields = [f.strip() for f in line.split("@@")]
            if len(fields) != 5:
                sys.exit("mutants.txt:%d: expected five fields" % number)
            yield number, fields


def trees(area):
    """The build trees whose tests judge a fault of this area: the Windows
    tests all belong to the platform area."""
    return [binary, windows] if area == "platform" else [binary]


def main():
    selected = list(faults(sys.argv[1:] or [""]))
    os.makedirs(logs, exist_ok=True)
    # A copy of the tree as it stands: an interrupted run never leaves a fault in it.
    files = subprocess.check_output(["git", "ls-files", "-co", "--exclude-standard"],
                                    cwd=top, text=True).split("\n")
    for f in files:
        if f and not f.startswith("dev/") and os.path.isfile(os.path.join(top, f)):
            target = os.path.join(src, f)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if not os.path.exists(target) or open(target, "rb").read() != open(
                    os.path.join(top, f), "rb").read():
                shutil.copy(os.path.join(top, f), target)
    # Files gone from the tree leave the copy too, or a removed test still builds.
    wanted = set(f for f in files if f and not f.startswith("dev/")
                 and os.path.isfile(os.path.join(top, f)))
    for folder, _, names in os.walk(src):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.relpath(path, src) not in wanted:
                os.remove(path)
    setup = os.path.join(logs, "setup")
    if os.path.exists(setup):
        os.remove(setup)
    run(["cmake", "-S", src, "-B", binary, "-DCMAKE_BUILD_TYPE=Release"], setup)
    run(["cmake", "-S", src, "-B", windows, "-DCMAKE_BUILD_TYPE=Release",
         "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(src, "cmake", "mingw-w64.cmake"),
         "-DKESTRIN_LINUX_BUILD=" + binary], setup)
    print("building and testing the unchanged tree", flush=True)
    areas = sorted(set(fields[0] for _, fields in selected))
    for tree in (binary, windows):
        if run(["cmake", "--build", tree, "-j" + jobs], setup):
            sys.exit("the unchanged tree does not build: see " + setup)
    # A fault only counts as killed if the same tests pass without it.
    for area in areas:
        for tree in trees(area):
            if run(["ctest", "-L", "^%s$" % area, "-j2", "--output-on-failure"], setup, tree):
                sys.exit("the %s tests fail on the unchanged tree: see %s" % (area, setup))

    start, killed, survivors = time.time(), 0, []
    for number, (area, name, old, new, why) in selected:
        path = os.path.join(src, name)
        original = open(path).read()
        old, new = old.replace("\\n", "\n"), new.replace("\\n", "\n")
        if original.count(old) != 1:
            sys.exit("mutants.txt:%d: %r occurs %d times in %s" %
                     (number, old, original.count(old), name))
        log = os.path.join(logs, "%03d" % number)
        if os.path.exists(log):
            os.remove(log)
        open(path, "w").write(original.replace(old, new))
        try:
            for tree in trees(area):
                if run(["cmake", "--build", tree, "-j" + jobs], log):
                    sys.exit("mutants.txt:%d: the fault does not build: see %s" % (number, log))
            failed = fails(area, log)
        finally:
            open(path, "w").write(original)
        killed += bool(failed)
        if not failed:
            survivors.append("%s %s: %s" % (area, name, why))
        print("%-9s %-10s %s: %s" % ("killed" if failed else "SURVIVED", area, name, why),
              flush=True)
    for tree in (binary, windows):  # leave the builds holding the unchanged tree
        run(["cmake", "--build", tree, "-j" + jobs])
    total = len(selected)
    print("score: %d of %d killed (%.0f %%) in %.0f minutes" %
          (killed, total, 100.0 * killed / max(total, 1), (time.time() - start) / 60))
    for s in survivors:
        print("  survived: " + s)


main()
