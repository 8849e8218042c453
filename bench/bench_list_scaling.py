"""How the cost of one list edit grows with the size of the list.

Times append, pop(), pop(0), insert(0, x) and del a[i] (middle) on an array
written one value per line with an end-of-line comment on every value, and
on a run of [[package]] tables, at a small and a large size, and prints the
cost per edit and the ratio between the sizes. Each figure is the median of
several batches; the list is brought back to its size between batches,
outside the timed part.

    PYTHONPATH=build python bench/bench_list_scaling.py
    PYTHONPATH=build python bench/bench_list_scaling.py --sizes 1000 100000 --tables 1000 16000
"""

from __future__ import annotations

import argparse
import statistics
import time

from quillon import Document

BATCH = 200
ROUNDS = 7


def array_document(n: int) -> Document:
    lines = "".join(f"    {i},  # value {i}\n" for i in range(n))
    return Document.parse(f"title = \"bench\"\n\nvalues = [\n{lines}]\n\n[after]\nk = 1\n")


def tables_document(n: int) -> Document:
    tables = "".join(f'[[package]]\nname = "p{i}"\nversion = "1.{i}"\n\n' for i in range(n))
    return Document.parse(f"version = 3\n\n{tables}[after]\nk = 1\n")


def edits(new):
    """(name, timed edit, untimed undo) for a list `a`."""
    return [
        ("append", lambda a: a.append(new), lambda a: a.pop()),
        ("pop()", lambda a: a.pop(), lambda a: a.append(new)),
        ("pop(0)", lambda a: a.pop(0), lambda a: a.insert(0, new)),
        ("insert(0, x)", lambda a: a.insert(0, new), lambda a: a.pop(0)),
        ("del a[i]", lambda a: a.__delitem__(len(a) // 2), lambda a: a.insert(len(a) // 2, new)),
    ]


def per_edit_us(a, edit, undo) -> float:
    samples = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        for _ in range(BATCH):
            edit(a)
        samples.append((time.perf_counter() - start) / BATCH * 1e6)
        for _ in range(BATCH):
            undo(a)
    return statistics.median(samples)


def measure(make, key, sizes, new):
    results = {}
    for n in sizes:
        doc = make(n)
        a = doc[key]
        for name, edit, undo in edits(new):
            results[(name, n)] = per_edit_us(a, edit, undo)
        assert len(a) == n
        Document.parse(doc.as_toml())  # the edited text still reads back
    return results


def report(title, results, sizes):
    small, large = sizes
    print(f"\n{title}")
    print(f"{'edit':<14}{small:>12,}{large:>12,}   ratio  (microseconds per edit)")
    for name, _, _ in edits(None):
        s, l = results[(name, small)], results[(name, large)]
        print(f"{name:<14}{s:>12.2f}{l:>12.2f}{l / s:>8.2f}")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs=2, default=[1000, 100_000])
    parser.add_argument("--tables", type=int, nargs=2, default=[1000, 16_000])
    args = parser.parse_args()
    report("array of values, one per line with comments", measure(array_document, "values", args.sizes, 7),
           args.sizes)
    report("[[package]] tables", measure(tables_document, "package", args.tables, {"name": "new", "version": "2"}),
           args.tables)


if __name__ == "__main__":
    main()
