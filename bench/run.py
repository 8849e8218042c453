"""Benchmark quillon against other TOML libraries.

Usage: python bench/run.py [--quick] [--input NAME ...] [--no-memory] [--json PATH]

Installs nothing: quillon and the peers (tomlkit, tomli, rtoml; tomllib from
the standard library) are used if importable and reported as absent if not.
Every timing is the median of repeated runs in this one process; memory is
measured in a fresh subprocess per library.
"""

from __future__ import annotations

import argparse
import gc
import importlib
import importlib.metadata
import importlib.util
import json
import os
import platform
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Callable

from bench_edits import EDIT_COUNT, added_table_key, apply_edits, expected_after_edit, first_difference, \
    pick_edits, same_content, same_value
from bench_report import LIBRARIES, fmt_size, render_header, render_input_table, render_memory, render_summary
from bench_timing import Timing, measure, measure_memory

ROOT = Path(__file__).resolve().parent.parent
BENCH_DIR = ROOT / "bench"
DATA_DIR = BENCH_DIR / "data"
SMALL_INPUT = BENCH_DIR / "inputs" / "pyproject_small.toml"
CORPUS_DIR = ROOT.parent / "shared" / "corpus" / "realworld"
REALWORLD_FILES = ("helix-languages.toml", "helix-Cargo.lock")
GENERATED_NAME = "generated-5mb"


def load_generator():
    spec = importlib.util.spec_from_file_location("bench_generate", BENCH_DIR / "generate.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


# ----------------------------------------------------------------------------
# Inputs


@dataclass
class Input:
    name: str
    path: Path
    text: str = ""
    size: int = 0  # UTF-8 bytes

    def load(self) -> None:
        self.text = self.path.read_text(encoding="utf-8")
        self.size = len(self.text.encode("utf-8"))


def generated_path() -> Path:
    gen = load_generator()
    return DATA_DIR / f"{GENERATED_NAME}-v{gen.GENERATOR_VERSION}-seed{gen.DEFAULT_SEED}.toml"


def ensure_generated(log: Callable[[str], None]) -> Path:
    path = generated_path()
    if not path.exists():
        gen = load_generator()
        log(f"generating {path.relative_to(ROOT)} (seed {gen.DEFAULT_SEED}) ...")
        DATA_DIR.mkdir(parents=True, exist_ok=True)
        tmp = path.with_suffix(".tmp")
        tmp.write_bytes(gen.generate(gen.DEFAULT_SIZE, gen.DEFAULT_SEED).encode("utf-8"))
        tmp.replace(path)
    return path


def collect_inputs(wanted: list[str] | None, log: Callable[[str], None]) -> tuple[list[Input], list[str]]:
    notes: list[str] = []
    candidates = [Input("pyproject_small", SMALL_INPUT)]
    for filename in REALWORLD_FILES:
        path = CORPUS_DIR / filename
        if path.exists():
            candidates.append(Input(Path(filename).stem if filename.endswith(".toml") else filename, path))
        else:
            notes.append(f"skipped {filename}: not found at {path}")
    candidates.append(Input(GENERATED_NAME, Path()))
    if wanted:
        unknown = set(wanted) - {c.name for c in candidates}
        if unknown:
            raise SystemExit(f"unknown input(s): {', '.join(sorted(unknown))}; known: {', '.join(c.name for c in candidates)}")
        candidates = [c for c in candidates if c.name in wanted]
    for c in candidates:
        if c.name == GENERATED_NAME:
            c.path = ensure_generated(log)
        c.load()
    return candidates, notes


# ----------------------------------------------------------------------------
# Environment


def cpu_model() -> str:
    try:
        with open("/proc/cpuinfo", encoding="utf-8", errors="replace") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def import_libraries() -> tuple[dict[str, Any], dict[str, str]]:
    """Return the importable modules and a version (or 'absent: reason') for each library."""
    modules: dict[str, Any] = {}
    versions: dict[str, str] = {}
    for name in LIBRARIES:
        try:
            modules[name] = importlib.import_module(name)
        except Exception as exc:  # any import failure means the peer is skipped
            versions[name] = f"absent ({type(exc).__name__}: {exc})"
            continue
        if name == "tomllib":
            versions[name] = f"standard library (Python {platform.python_version()})"
            continue
        try:
            versions[name] = importlib.metadata.version(name)
        except importlib.metadata.PackageNotFoundError:
            versions[name] = getattr(modules[name], "__version__", "unknown version")
    return modules, versions


def environment(versions: dict[str, str]) -> dict[str, str]:
    return {
        "platform": platform.platform(),
        "cpu": cpu_model(),
        "cores": str(os.cpu_count()),
        "python": f"{platform.python_version()} ({platform.python_implementation()}, {sys.executable})",
        **versions,
    }


# ----------------------------------------------------------------------------
# Tasks: each maps a library to a factory that, given the input, does any
# untimed preparation and returns the zero-argument call to time.


TASK_KEYS = ("parse", "roundtrip", "to_python", "edit", "render")


@dataclass
class Task:
    key: str
    title: str
    makers: dict[str, Callable[[Input], Callable[[], Any]]]


def build_tasks(mods: dict[str, Any], reference_plain: Callable[[Input], dict]) -> list[Task]:
    q, tk = mods.get("quillon"), mods.get("tomlkit")

    def only_present(makers: dict) -> dict:
        return {name: maker for name, maker in makers.items() if name in mods}

    def edit_plan(inp: Input):
        plain = reference_plain(inp)
        return pick_edits(plain), added_table_key(plain)

    def quillon_edit(inp: Input):
        edits, new_key = edit_plan(inp)

        def run():
            doc = q.Document.parse(inp.text)
            apply_edits(doc, edits, new_key)
            return doc.as_toml()
        return run

    def tomlkit_edit(inp: Input):
        edits, new_key = edit_plan(inp)

        def run():
            doc = tk.parse(inp.text)
            apply_edits(doc, edits, new_key)
            return tk.dumps(doc)
        return run

    def quillon_render(inp: Input):
        doc = q.Document.parse(inp.text)

        def run():
            # A document keeps the text it rendered last until it is edited;
            # update() with nothing to apply counts as an edit, so every call
            # renders afresh.
            doc.update()
            return doc.as_toml()
        return run

    def tomlkit_render(inp: Input):
        doc = tk.parse(inp.text)
        return lambda: tk.dumps(doc)

    loads = {name: (lambda name: lambda inp: (lambda: mods[name].loads(inp.text)))(name)
             for name in ("tomllib", "tomli", "rtoml")}
    return [
        Task("parse", "parse only", only_present({
            "quillon": lambda inp: lambda: q.Document.parse(inp.text),
            "tomlkit": lambda inp: lambda: tk.parse(inp.text),
            **loads,
        })),
        Task("roundtrip", "parse and render back", only_present({
            "quillon": lambda inp: lambda: q.Document.parse(inp.text).as_toml(),
            "tomlkit": lambda inp: lambda: tk.dumps(tk.parse(inp.text)),
        })),
        Task("to_python", "parse to plain Python", only_present({
            "quillon": lambda inp: lambda: q.Document.parse(inp.text).value,
            "tomlkit": lambda inp: lambda: tk.parse(inp.text).unwrap(),
            **loads,
        })),
        Task("edit", f"parse, edit {EDIT_COUNT} values, add a table, render", only_present({
            "quillon": quillon_edit,
            "tomlkit": tomlkit_edit,
        })),
        Task("render", "render a parsed document", only_present({
            "quillon": quillon_render,
            "tomlkit": tomlkit_render,
        })),
    ]


# ----------------------------------------------------------------------------
# Crash probe: run each quillon task once in a subprocess first, so that an
# engine crash on one input is reported instead of ending the whole run.


def probe_main(path: str, steps: list[str]) -> int:
    """Run quillon's side of the named tasks once each, reporting progress as JSON lines."""
    import tomllib

    import quillon
    inp = Input("probe", Path(path))
    inp.load()

    def reference_plain(_: Input) -> dict:
        try:
            return tomllib.loads(inp.text)
        except tomllib.TOMLDecodeError:
            return {}

    tasks = {task.key: task for task in build_tasks({"quillon": quillon}, reference_plain)}
    for step in steps:
        print(json.dumps({"task": step, "state": "start"}), flush=True)
        try:
            tasks[step].makers["quillon"](inp)()
            print(json.dumps({"task": step, "state": "ok"}), flush=True)
        except Exception as exc:
            print(json.dumps({"task": step, "state": "error", "error": f"{type(exc).__name__}: {exc}"}), flush=True)
    return 0


def probe_quillon(inp: Input) -> dict[str, str]:
    """Map each task to 'ok', an error text, or a crash description.

    After a crash the probe starts again with the steps that follow, so one
    crashing step does not hide the state of the others.
    """
    states: dict[str, str] = {}
    remaining = list(TASK_KEYS)
    while remaining:
        proc = subprocess.run([sys.executable, str(Path(__file__).resolve()), "--probe", str(inp.path),
                               "--probe-steps", ",".join(remaining)], capture_output=True, text=True)
        started = None
        for line in proc.stdout.splitlines():
            try:
                event = json.loads(line)
            except ValueError:
                continue
            if event["state"] == "start":
                started = event["task"]
            else:
                states[event["task"]] = "ok" if event["state"] == "ok" else event["error"]
                started = None
        if proc.returncode == 0:
            break
        why = f"crashed (signal {-proc.returncode})" if proc.returncode < 0 else f"exit status {proc.returncode}"
        if started is None:
            # Died before any step began, e.g. on import: every remaining step is affected.
            tail = (proc.stderr.strip().splitlines() or [""])[-1]
            for step in remaining:
                states[step] = f"{why}: {tail}"
            break
        states[started] = why
        remaining = remaining[remaining.index(started) + 1:]
    return states


# ----------------------------------------------------------------------------
# Main run


def run_checks(task_key: str, lib: str, inp: Input, output: Any, reference: dict | None) -> str | None:
    """Untimed sanity checks on one call's result; a mismatch is a finding, not a failure."""
    import tomllib
    if task_key in ("roundtrip", "render"):
        return first_difference(inp.text, output)
    if task_key == "to_python" and lib == "quillon" and reference is not None:
        if same_value(reference, output):
            return "equal to tomllib's value (types, order)"
        if same_content(reference, output):
            return "same content as tomllib's value, key order differs"
        return "MISMATCH against tomllib's value"
    if task_key == "edit" and reference is not None:
        expected = expected_after_edit(reference, pick_edits(reference), added_table_key(reference))
        try:
            got = tomllib.loads(output)
        except Exception as exc:
            return f"MISMATCH: output is not valid TOML per tomllib ({exc})"
        return "edits and added table read back by tomllib" if same_content(expected, got) \
            else "MISMATCH: tomllib reads back different values"
    return None


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="Benchmark quillon against other TOML libraries.")
    parser.add_argument("--quick", action="store_true", help="fewer, shorter runs (rough numbers)")
    parser.add_argument("--input", action="append", dest="inputs", metavar="NAME",
                        help="run only this input (repeatable)")
    parser.add_argument("--no-memory", action="store_true", help="skip the memory measurement")
    parser.add_argument("--json", type=Path, metavar="PATH", help="also write the results as JSON")
    parser.add_argument("--probe", metavar="PATH", help=argparse.SUPPRESS)
    parser.add_argument("--probe-steps", default=",".join(TASK_KEYS), help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.probe:
        return probe_main(args.probe, args.probe_steps.split(","))

    # Even a quick run takes enough samples for a stable median.
    target, min_runs = (0.2, 5) if args.quick else (1.0, 5)

    def log(msg: str) -> None:
        print(f"[bench] {msg}", file=sys.stderr, flush=True)

    mods, versions = import_libraries()
    env = environment(versions)
    inputs, notes = collect_inputs(args.inputs, log)
    early_notes = list(notes)

    reference_cache: dict[str, dict | None] = {}

    def reference_plain(inp: Input) -> dict | None:
        if inp.name not in reference_cache:
            try:
                import tomllib
                reference_cache[inp.name] = tomllib.loads(inp.text)
            except Exception as exc:
                notes.append(f"tomllib cannot read {inp.name}: {exc}")
                reference_cache[inp.name] = None
        return reference_cache[inp.name]

    tasks = build_tasks(mods, reference_plain)
    print("\n".join(render_header(env, args.quick, target, min_runs, inputs, notes)) + "\n", flush=True)
    all_results: dict[str, dict[str, dict[str, Timing]]] = {}
    for inp in inputs:
        log(f"input {inp.name} ({fmt_size(inp.size)})")
        probe = probe_quillon(inp) if "quillon" in mods else {}
        results: dict[str, dict[str, Timing]] = {}
        for task in tasks:
            results[task.key] = {}
            for lib, maker in task.makers.items():
                if lib == "quillon" and probe.get(task.key, "ok") != "ok":
                    results[task.key][lib] = Timing(error=probe[task.key])
                    continue
                if task.key == "edit" and reference_plain(inp) is None:
                    results[task.key][lib] = Timing(error="no reference value to choose edits from")
                    continue
                log(f"  {task.key:<10} {lib}")
                try:
                    fn = maker(inp)
                    timing, check = measure(
                        fn, target, min_runs,
                        lambda output: run_checks(task.key, lib, inp, output, reference_plain(inp)))
                    timing.check = check
                except Exception as exc:
                    timing = Timing(error=f"{type(exc).__name__}: {exc}")
                fn = None
                results[task.key][lib] = timing
                gc.collect()
        all_results[inp.name] = results
        table = render_input_table(inp, tasks, results)
        print("\n".join(table) + "\n", flush=True)

    memory: dict[str, dict] = {}
    generated = next((i for i in inputs if i.name == GENERATED_NAME), None)
    if generated and not args.no_memory:
        log("memory")
        for lib in LIBRARIES:
            if lib in mods:
                log(f"  memory     {lib}")
                memory[lib] = measure_memory(lib, generated.path)
        print("\n".join(render_memory(generated, memory)) + "\n")

    for note in notes[len(early_notes):]:
        print(f"note: {note}")
    print("\n".join(render_summary(inputs, all_results, memory, generated)))

    if args.json:
        payload = {
            "environment": env,
            "mode": "quick" if args.quick else "full",
            "inputs": {i.name: {"path": str(i.path), "bytes": i.size} for i in inputs},
            "notes": notes,
            "results": {name: {task: {lib: vars(t) for lib, t in per.items()} for task, per in res.items()}
                        for name, res in all_results.items()},
            "memory": memory,
        }
        args.json.write_text(json.dumps(payload, indent=2, default=str), encoding="utf-8")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
