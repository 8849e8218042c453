"""Timing and memory measurement for the benchmark.

A timing is the median (and the minimum) of repeated runs taken with
time.perf_counter; the repeat count adapts so that each measurement takes a fixed time budget.
Memory is the growth of resident memory in a fresh interpreter, because
allocations made by extension modules are invisible to tracemalloc.
"""

from __future__ import annotations

import gc
import json
import math
import statistics
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Callable

# Calls faster than this are batched so that one timed sample is long enough
# for perf_counter's resolution and overhead not to matter.
MIN_SAMPLE_SECONDS = 1e-3
# A first call at least this long is already warm enough to count as a run.
SLOW_CALL_SECONDS = 0.1


@dataclass
class Timing:
    seconds: float | None = None  # median time of one call
    minimum: float | None = None  # fastest sample, per call
    samples: int = 0
    loops: int = 1  # calls per sample
    error: str | None = None
    check: str | None = None  # correctness note, not part of the timing


def plan_repeats(first_call: float, target: float, min_runs: int, max_samples: int = 200) -> tuple[int, int]:
    """Return (calls per sample, samples) for a call that took `first_call` seconds once."""
    first_call = max(first_call, 1e-9)
    loops = 1 if first_call >= MIN_SAMPLE_SECONDS else math.ceil(MIN_SAMPLE_SECONDS / first_call)
    samples = round(target / (first_call * loops))
    return loops, max(min_runs, min(max_samples, samples))


def measure(fn: Callable[[], Any], target: float, min_runs: int,
            inspect: Callable[[Any], Any] = lambda result: None) -> tuple[Timing, Any]:
    """Median per-call time, and what `inspect` says about the first call's result.

    Results stay alive until the clock stops, so freeing them is not timed.
    """
    gc.collect()
    start = time.perf_counter()
    result = fn()
    first = time.perf_counter() - start
    verdict = inspect(result)
    del result
    loops, samples = plan_repeats(first, target, min_runs)
    times = []
    if first >= SLOW_CALL_SECONDS:
        times.append(first)
    keep: list[Any] = [None] * loops
    while len(times) < samples:
        start = time.perf_counter()
        for i in range(loops):
            keep[i] = fn()
        elapsed = time.perf_counter() - start
        keep = [None] * loops
        times.append(elapsed / loops)
    return Timing(statistics.median(times), min(times), len(times), loops), verdict


# Memory: RSS growth in a fresh interpreter, with the parsed object kept alive.

MEMORY_SCRIPT = r"""
import json, sys
library, path = sys.argv[1], sys.argv[2]

def status(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    return None

import importlib
mod = importlib.import_module(library)
parse = {
    "quillon": lambda t: mod.Document.parse(t),
    "tomlkit": lambda t: mod.parse(t),
}.get(library, lambda t: mod.loads(t))
parse('warm = [1, 2.5, "x", 1979-05-27T07:32:00Z]\n[t]\nk = {a = 1}\n')  # lazy start-up costs are not the document's
text = open(path, encoding="utf-8").read()
import gc
gc.collect()
try:
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")  # reset the peak-RSS mark
    peak_reset = True
except OSError:
    peak_reset = False
before = status("VmRSS")
obj = parse(text)
after = status("VmRSS")
peak = status("VmHWM")
print(json.dumps({"retained": after - before, "peak": peak - before, "peak_reset": peak_reset}))
"""


def measure_memory(library: str, path: Path) -> dict:
    proc = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT, library, str(path)],
                          capture_output=True, text=True)
    if proc.returncode != 0:
        tail = (proc.stderr.strip().splitlines() or [f"exit status {proc.returncode}"])[-1]
        return {"error": tail}
    return json.loads(proc.stdout.strip().splitlines()[-1])
