#!/usr/bin/env python3
"""Start-up to a shown main window: runs `ostrel` and a minimal Qt window program in turn
(an empty window, and the same window with one line of text, whose font set-up any window
with text pays),
each with bench/ShownProbe.cpp preloaded (it ends the process once the first window has been
exposed and painted), under the offscreen platform, and reports the median wall time of
each from process start to exit, and their ratios (the goal is judged against the window
with text, the floor of the same work).

Usage: startup.py BUILD_DIR [RUNS]"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run_once(program, env):
    start = time.perf_counter()
    done = subprocess.run(program, env=env, capture_output=True, text=True, timeout=60)
    elapsed = time.perf_counter() - start
    if done.returncode != 0 or "shown: " not in done.stdout:
        sys.exit(f"{program} showed no window (exit {done.returncode}): {done.stderr.strip()}")
    return elapsed, done.stdout.split("shown: ", 1)[1].strip()


def main():
    build = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    minimal = os.path.join(build, "bench/minimal_window")
    programs = {
        "ostrel": [os.path.join(build, "app/ostrel/ostrel")],
        "minimal": [minimal],
        "minimal+text": [minimal, "--label"],
    }
    with tempfile.TemporaryDirectory() as runtime:
        os.chmod(runtime, 0o700)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime,
                   LD_PRELOAD=os.path.join(build, "bench/libshown_probe.so"))
        times = {name: [] for name in programs}
        titles = {}
        for name, program in programs.items():  # one warm-up run each (page cache)
            run_once(program, env)
        for _ in range(runs):  # interleaved, so both see the same machine load
            for name, program in programs.items():
                elapsed, titles[name] = run_once(program, env)
                times[name].append(elapsed)
    median = {name: statistics.median(values) * 1000 for name, values in times.items()}
    print(f"Start-up to a shown main window, median of {runs} runs (wall, offscreen platform):")
    for name in programs:
        print(f"  {name:12s} {median[name]:7.1f} ms  (min {min(times[name]) * 1000:.1f} ms, "
              f"window \"{titles[name]}\")")
    # The goal is judged against the window with text: ostrel must draw text, and the font
    # set-up that any window with text pays is the floor of the same work. The empty window
    # (which never loads a font) is kept as the bare toolkit's floor.
    print(f"  ratio to the window with a label: {median['ostrel'] / median['minimal+text']:.2f}"
          "  (goal: within 1.5)")
    print(f"  ratio to the empty window:        {median['ostrel'] / median['minimal']:.2f}"
          "  (no text, no fonts)")


if __name__ == "__main__":
    main()
