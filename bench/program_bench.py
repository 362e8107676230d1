"""The real program over a real pseudo-terminal, timed from the simulator's wire log: the readout's
period as a ratio to its 200 ms, the focus repeat as a ratio to its 80 ms (median and 99th
percentile), and the program's CPU use and resident memory while it sits polling for 30 s.
Prints figures; asserts nothing.

    python3 bench/program_bench.py build/default/bin/velmaro build/default/bin/velmaro-sim
"""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import Desktop, read_wire_log, read_wire_log_timed, twips_centre, wait_until  # noqa

READOUT_MS = 200.0
FOCUS_REPEAT_MS = 80.0
FOCUS_HOLD_S = 5
IDLE_S = 30
FOCUS_UP = twips_centre(360, 2760, 495, 375)


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def ratios(gaps, nominal_ms):
    values = [gap * 1000.0 / nominal_ms for gap in gaps]
    return statistics.median(values), percentile(values, 0.99), len(values)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def main(program, simulator):
    desktop = Desktop(os.path.join(os.getcwd(), "bench-artefacts"))
    try:
        log = desktop.start_simulator(simulator, 1)
        process = desktop.start_program(program)
        desktop.window("T7342 Galil V1.0")
        desktop.xdotool("key", "--clearmodifiers", "Down")
        main_window = desktop.window("T7342 Galil")
        wait_until(lambda: "TPW" in read_wire_log(log), what="the readout")

        before = len(read_wire_log(log))
        desktop.xdotool("mousemove", "--window", main_window, str(FOCUS_UP[0]), str(FOCUS_UP[1]),
                        "mousedown", "1", "sleep", str(FOCUS_HOLD_S), "mouseup", "1")
        time.sleep(0.3)
        steps = [at for at, line in read_wire_log_timed(log)[before:] if line == "focusup=1"]
        focus_gaps = [b - a for a, b in zip(steps[1:], steps[2:])]  # after the 300 ms delay

        idle_start = len(read_wire_log(log))
        cpu_before, wall_before = cpu_seconds(process.pid), time.monotonic()
        time.sleep(IDLE_S)
        cpu_used = cpu_seconds(process.pid) - cpu_before
        wall = time.monotonic() - wall_before
        polls = [at for at, line in read_wire_log_timed(log)[idle_start:] if line == "TPX"]
        readout_gaps = [b - a for a, b in zip(polls, polls[1:])]

        median, p99, count = ratios(readout_gaps, READOUT_MS)
        print(f"readout period / 200 ms: median {median:.3f}, p99 {p99:.3f} ({count} periods)")
        median, p99, count = ratios(focus_gaps, FOCUS_REPEAT_MS)
        print(f"focus repeat / 80 ms:    median {median:.3f}, p99 {p99:.3f} ({count} repeats, "
              f"{len(steps)} lines in a {FOCUS_HOLD_S} s hold)")
        print(f"idle polling for {wall:.0f} s: CPU {100.0 * cpu_used / wall:.2f} % of one core, "
              f"resident memory {resident_mib(process.pid):.1f} MiB")
    finally:
        desktop.close()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
