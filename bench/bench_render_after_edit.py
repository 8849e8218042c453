"""How fast as_toml() renders a large parsed document after one small edit.

Times, on a generated 10 MB lock-file-like document (tens of thousands of
[[package]] tables) and on bench/'s generated document: a full rendering
(after an edit that may reach everything, here update() with nothing in it)
and a rendering after changing one value deep in the document. Prints the
median and the best speed of several runs.

    PYTHONPATH=build python bench/bench_render_after_edit.py
"""

from __future__ import annotations

import argparse
import statistics
import sys
import time
from pathlib import Path

import quillon

RUNS = 7


def lock_file(size: int) -> str:
    parts = ["version = 3\n\n"]
    total, i = 0, 0
    while total < size:
        part = (f'[[package]]\nname = "pkg-{i}"\nversion = "1.{i % 50}.{i % 7}"\n'
                f'source = "registry+https://github.com/rust-lang/crates.io-index"\n'
                f'checksum = "{(i * 2654435761) % (1 << 64):016x}{(i * 40503) % (1 << 32):08x}"\n'
                f'dependencies = [\n "dep-{i % 97}",\n "dep-{i % 31}",\n]\n\n')
        parts.append(part)
        total += len(part)
        i += 1
    return "".join(parts)


def generated() -> str:
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    import run
    return run.ensure_generated(lambda msg: print(msg, file=sys.stderr)).read_text(encoding="utf-8")


def one_edit(doc):
    if "package" in doc:
        packages = doc["package"]
        member = packages[len(packages) // 2]
        return lambda i: member.__setitem__("version", f"9.{i}")
    tables = [k for k in doc if isinstance(doc[k], quillon.DictItem)]
    table = doc[tables[len(tables) // 2]]
    key = next(k for k in table if not isinstance(table[k], (quillon.DictItem, quillon.ListItem)))
    return lambda i: table.__setitem__(key, i)


def speeds(text: str) -> list[str]:
    size = len(text.encode("utf-8"))
    doc = quillon.Document.parse(text)
    full, light = [], []
    for _ in range(RUNS):
        doc.update()
        start = time.perf_counter()
        doc.as_toml()
        full.append(time.perf_counter() - start)
    edit = one_edit(doc)
    for i in range(RUNS):
        edit(i)
        start = time.perf_counter()
        doc.as_toml()
        light.append(time.perf_counter() - start)
    return [f"{size / statistics.median(t) / 1e9:8.2f} GB/s (best {size / min(t) / 1e9:.2f})" for t in (full, light)]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lock-size", type=int, default=10_000_000)
    args = parser.parse_args()
    print(f"{'document':<24}{'full rendering':>30}{'after one edit':>30}")
    for name, text in (("lock file", lock_file(args.lock_size)), ("generated-5mb", generated())):
        full, light = speeds(text)
        print(f"{name:<24}{full:>30}{light:>30}")


if __name__ == "__main__":
    main()
