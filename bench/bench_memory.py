"""Memory of a document that stays small while many distinct paths change.

Each round adds and deletes CYCLES distinct keys in one document (every
delete records a change of its path) and prints the process's resident size
afterwards. Memory should be flat from round to round. A second scenario
edits through one reference held throughout, and a third shifts array
positions (each deletion at the front records a range of positions).

    PYTHONPATH=build python bench/bench_memory.py [cycles] [rounds]
"""

from __future__ import annotations

import sys

import quillon


def resident_mib() -> float:
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def add_delete(table, start: int, cycles: int) -> None:
    for i in range(start, start + cycles):
        key = f"k{i}"
        table[key] = i
        del table[key]


def shift_front(doc, cycles: int) -> None:
    arr = doc["arr"]
    for i in range(cycles):
        arr[len(arr):] = [i]
        del arr[0]


def main() -> None:
    cycles = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    print(f"start: {resident_mib():.1f} MiB")
    doc = quillon.Document()
    for r in range(rounds):
        add_delete(doc, r * cycles, cycles)
        print(f"add/delete round {r + 1}: {resident_mib():.1f} MiB")

    doc = quillon.Document({"t": {"x": 1}})
    held = doc["t"]  # an old reference, to the table whose keys come and go
    for r in range(rounds):
        add_delete(held, r * cycles, cycles)
        print(f"add/delete in a held table, round {r + 1}: {resident_mib():.1f} MiB")
    del held

    doc = quillon.Document({"arr": list(range(100))})
    for r in range(rounds):
        shift_front(doc, cycles // 10)
        print(f"array shifts round {r + 1}: {resident_mib():.1f} MiB")


if __name__ == "__main__":
    main()
