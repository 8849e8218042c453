"""Text tables for the benchmark's results."""

from __future__ import annotations

from typing import TYPE_CHECKING

from bench_timing import Timing

if TYPE_CHECKING:
    from run import Input, Task

MB = 1_000_000
LIBRARIES = ("quillon", "tomlkit", "tomllib", "tomli", "rtoml")


def fmt_time(seconds: float | None) -> str:
    if seconds is None:
        return "-"
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}" if seconds / scale < 100 else f"{seconds / scale:.0f} {unit}"
    return f"{seconds * 1e9:.0f} ns"


def fmt_ratio(r: float | None) -> str:
    if r is None:
        return "-"
    return f"{r:.0f}x" if r >= 100 else f"{r:.3g}x"


def fmt_size(n: int) -> str:
    return f"{n / MB:.2f} MB" if n >= MB else f"{n / 1000:.1f} kB"


def ratio(peer: Timing | None, base: Timing | None) -> float | None:
    if not peer or not base or peer.seconds is None or base.seconds is None or base.seconds <= 0:
        return None
    return peer.seconds / base.seconds


def mbps(size: int, t: Timing | None) -> float | None:
    if not t or t.seconds is None or t.seconds <= 0:
        return None
    return size / t.seconds / MB


def render_input_table(inp: Input, tasks: list[Task], results: dict) -> list[str]:
    lines = [f"== {inp.name}  ({fmt_size(inp.size)}, {inp.path}) =="]
    header = (f"  {'task':<44} {'library':<8} {'median':>10} {'minimum':>10} {'runs':>9} {'MB/s':>8} "
              f"{'peer/quillon':>13}")
    lines.append(header)
    lines.append("  " + "-" * (len(header) - 2))
    for task in tasks:
        per_lib = results.get(task.key, {})
        base = per_lib.get("quillon")
        title = task.title
        for lib in LIBRARIES:
            if lib not in task.makers:
                continue
            t = per_lib.get(lib)
            if t is None:
                continue
            if t.error:
                lines.append(f"  {title:<44} {lib:<8} error: {t.error.splitlines()[0]}")
            else:
                runs = f"{t.samples}" if t.loops == 1 else f"{t.samples}x{t.loops}"
                speed = mbps(inp.size, t)
                r = "" if lib == "quillon" else fmt_ratio(ratio(t, base))
                speed_text = "-" if speed is None else f"{speed:.1f}"
                lines.append(f"  {title:<44} {lib:<8} {fmt_time(t.seconds):>10} {fmt_time(t.minimum):>10} {runs:>9} "
                             f"{speed_text:>8} {r:>13}")
            title = ""
    checks = []
    for task in tasks:
        for lib, t in results.get(task.key, {}).items():
            if t.check:
                checks.append(f"  check {task.key}/{lib}: {t.check}")
            if t.error and "\n" in t.error:
                checks.append(f"  error {task.key}/{lib}:")
                checks.extend("    | " + line for line in t.error.splitlines())
    return lines + checks


def render_header(env: dict, quick: bool, target: float, min_runs: int, inputs: list[Input], notes: list[str]) -> list[str]:
    lines = ["== machine and versions =="]
    for key, value in env.items():
        lines.append(f"  {key:<9} {value}")
    lines.append(f"  {'mode':<9} {'quick' if quick else 'full'}: median (and minimum) of runs, about {target} s per "
                 f"measurement, at least {min_runs} run(s); MB = 10^6 bytes of UTF-8 source")
    lines.append("  inputs:")
    for inp in inputs:
        lines.append(f"    {inp.name:<18} {inp.size:>10,} bytes  {inp.path}")
    for note in notes:
        lines.append(f"  note: {note}")
    return lines


def render_memory(inp: Input, memory: dict[str, dict]) -> list[str]:
    lines = [f"== memory: RSS growth while the parsed {inp.name} ({fmt_size(inp.size)}) is alive ==",
             f"  {'library':<8} {'retained':>12} {'x source':>9} {'peak':>12} {'x source':>9}"]
    for lib, m in memory.items():
        if "error" in m:
            lines.append(f"  {lib:<8} error: {m['error']}")
            continue
        lines.append(f"  {lib:<8} {m['retained'] / MB:>9.1f} MB {m['retained'] / inp.size:>8.1f}x "
                     f"{m['peak'] / MB:>9.1f} MB {m['peak'] / inp.size:>8.1f}x"
                     + ("" if m.get("peak_reset") else "  (peak mark not reset: may include start-up)"))
    return lines


def render_summary(inputs: list[Input], results: dict, memory: dict, big: Input | None) -> list[str]:
    """PASS/FAIL against the performance targets; `big` is the 5 MB document if it was run."""
    lines = ["== targets =="]

    def verdict(ok: bool | None) -> str:
        return "n/a " if ok is None else ("PASS" if ok else "FAIL")

    def per_input_ratios(task: str, peer: str) -> list[tuple[str, float | None]]:
        out = []
        for inp in inputs:
            per = results.get(inp.name, {}).get(task, {})
            if peer in per:
                out.append((inp.name, ratio(per.get(peer), per.get("quillon"))))
        return out

    def ratio_line(label: str, task: str, peer: str, threshold: float) -> None:
        pairs = per_input_ratios(task, peer)
        values = [r for _, r in pairs]
        ok = None if not pairs else (all(r is not None and r >= threshold for r in values))
        if pairs and all(r is None for r in values):
            ok = None
        detail = ", ".join(f"{name} {fmt_ratio(r)}" for name, r in pairs) or f"{peer} absent"
        lines.append(f"  [{verdict(ok)}] {label:<48} {detail}")

    ratio_line("parse+render >= 100x faster than tomlkit", "roundtrip", "tomlkit", 100)
    ratio_line("parse-to-Python >= 5x faster than tomllib", "to_python", "tomllib", 5)
    ratio_line("parse-to-Python no slower than rtoml", "to_python", "rtoml", 1)

    for label, task, threshold in (("parse alone >= 100 MB/s on the 5 MB document", "parse", 100),
                                   ("render alone >= 300 MB/s on the 5 MB document", "render", 300)):
        speed = None
        if big:
            speed = mbps(big.size, results.get(big.name, {}).get(task, {}).get("quillon"))
        ok = None if speed is None else speed >= threshold
        detail = f"{speed:.1f} MB/s" if speed is not None else "not measured"
        lines.append(f"  [{verdict(ok)}] {label:<48} {detail}")

    q, tk = memory.get("quillon", {}), memory.get("tomlkit", {})
    if big and "retained" in q:
        factor = q["retained"] / big.size
        lines.append(f"  [{verdict(factor <= 10)}] {'memory <= 10x source size':<48} {factor:.1f}x")
        if "retained" in tk and tk["retained"] > 0:
            share = q["retained"] / tk["retained"]
            lines.append(f"  [{verdict(share < 0.2)}] {'memory < 1/5 of tomlkit':<48} {share:.3f} of tomlkit's")
        else:
            lines.append(f"  [n/a ] {'memory < 1/5 of tomlkit':<48} tomlkit not measured")
    else:
        lines.append(f"  [n/a ] {'memory targets':<48} not measured")
    return lines
