"""How the cost of one mapping edit grows with the size of the table it touches.

For tables of N = 1k, 10k and 100k entries, times batches of edits of one
kind on one parsed document and prints the cost per edit, with tomlkit
beside it (if importable) for the sizes it gets through in reasonable time,
and the ratio between the largest and the smallest size. Each figure is the
median of several batches in a row on the same document (parsing is not
timed), so the occasional batch that also pays for growing or compacting a
table, whose share per edit is constant, does not decide the figure.

    PYTHONPATH=build python bench/bench_edit_scaling.py
    PYTHONPATH=build python bench/bench_edit_scaling.py --sizes 1000 10000 --no-tomlkit
"""

from __future__ import annotations

import argparse
import statistics
import sys
import time
from typing import Any, Callable

import quillon

BATCH = 100
ROUNDS = 7
# tomlkit is left out at a size (and the larger ones) where parsing the document takes longer than this.
PEER_SETUP_LIMIT = 5.0


def flat_table(n: int) -> str:
    return "".join(f"k{i} = {i}\n" for i in range(n))


def sub_tables(n: int) -> str:
    return "".join(f"[s{i}]\nx = {i}\n\n" for i in range(n))


def dotted_keys(n: int) -> str:
    return "".join(f"a.k{i} = {i}\n" for i in range(n))


def inline_table(n: int) -> str:
    return "t = {" + ", ".join(f"k{i} = {i}" for i in range(n)) + "}\n"


# (name, document text for size n, the edit number j of a batch on a document of size n)
def operations() -> list[tuple[str, Callable[[int], str], Callable[[Any, int, int], Any]]]:
    def delete(container, key):
        del container[key]

    def assign(container, key, value):
        container[key] = value

    return [
        ("delete first key", flat_table, lambda d, n, j: delete(d, f"k{j}")),
        ("delete last key", flat_table, lambda d, n, j: delete(d, f"k{n - 1 - j}")),
        ("pop middle key", flat_table, lambda d, n, j: d.pop(f"k{n // 4 + j}")),
        ("popitem", flat_table, lambda d, n, j: d.popitem()),
        ("set existing key", flat_table, lambda d, n, j: assign(d, f"k{j}", -j)),
        ("add key", flat_table, lambda d, n, j: assign(d, f"new{j}", j)),
        ("key in table", flat_table, lambda d, n, j: f"k{j}" in d),
        ("len(table)", flat_table, lambda d, n, j: len(d)),
        ("delete a sub-table", sub_tables, lambda d, n, j: delete(d, f"s{n // 4 + j}")),
        ("delete a dotted key", dotted_keys, lambda d, n, j: delete(d["a"], f"k{n // 4 + j}")),
        ("inline table: add", inline_table, lambda d, n, j: assign(d["t"], f"new{j}", j)),
        ("inline table: delete", inline_table, lambda d, n, j: delete(d["t"], f"k{n // 4 + j}")),
    ]


def per_edit_us(parse: Callable[[str], Any], text: str, n: int, edit) -> float:
    # Edit j of the whole run touches key j (counted from an end or a
    # quarter of the way in), so that at N = 1k every edit finds its key.
    doc = parse(text)
    samples = []
    for r in range(ROUNDS):
        start = time.perf_counter()
        for j in range(r * BATCH, (r + 1) * BATCH):
            edit(doc, n, j)
        samples.append((time.perf_counter() - start) / BATCH * 1e6)
    return statistics.median(samples)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 10000, 100000])
    parser.add_argument("--no-tomlkit", action="store_true")
    args = parser.parse_args()
    sizes = sorted(args.sizes)

    peers: dict[str, Callable[[str], Any]] = {"quillon": quillon.Document.parse}
    if not args.no_tomlkit:
        try:
            import tomlkit
            peers["tomlkit"] = tomlkit.parse
        except ImportError:
            print("tomlkit is not importable: only quillon is timed")

    results: dict[tuple[str, str, int], float | None] = {}
    for name, make, edit in operations():
        for lib, parse in peers.items():
            for n in sizes:
                if lib != "quillon" and results.get((name, lib, "slow"), False):
                    results[(name, lib, n)] = None
                    continue
                text = make(n)
                print(f"  {name} / {lib} / {n:,}", file=sys.stderr, flush=True)
                if lib != "quillon":
                    start = time.perf_counter()
                    parse(text)
                    if time.perf_counter() - start > PEER_SETUP_LIMIT:
                        # Too slow to prepare: this size and the larger ones are left out.
                        results[(name, lib, "slow")] = True
                        results[(name, lib, n)] = None
                        continue
                try:
                    results[(name, lib, n)] = per_edit_us(parse, text, n, edit)
                except Exception as exc:  # a peer that cannot do the edit is reported, not fatal
                    results[(name, lib, n)] = None
                    results[(name, lib, "error")] = f"{type(exc).__name__}"
                    break

    print("microseconds per edit (median of batches of %d); ratio = largest / smallest size" % BATCH)
    head = f"{'operation':<22}" + "".join(f"{n:>11,}" for n in sizes) + f"{'ratio':>8}"
    if "tomlkit" in peers:
        head += "   tomlkit " + " / ".join(f"{n:,}" for n in sizes)
    print(head)
    for name, _, _ in operations():
        row = [results.get((name, "quillon", n)) for n in sizes]
        line = f"{name:<22}" + "".join(f"{v:>11.2f}" for v in row) + f"{row[-1] / row[0]:>8.2f}"
        if "tomlkit" in peers:
            cells = [results.get((name, "tomlkit", n)) for n in sizes]
            error = results.get((name, "tomlkit", "error"))
            line += "   " + " / ".join("-" if v is None else f"{v:.2f}" for v in cells)
            if error:
                line += f" (fails: {error})"
        print(line)


if __name__ == "__main__":
    main()
