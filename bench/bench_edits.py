"""The benchmark's edit task and the checks on each library's output.

Ten existing scalars are chosen by walking the plain value of a document in
order, so every library edits the same entries; the checks compare results
without timing them.
"""

from __future__ import annotations

import copy
import math
from typing import Any

EDIT_COUNT = 10
ADDED_TABLE = {"name": "added by the benchmark", "count": 3, "ratio": 0.5, "tags": ["a", "b"]}


def scalar_paths(node: Any, prefix: tuple = ()):
    """Yield (path, value) for every editable scalar, in document order.

    Lists are entered only when all their elements are tables, so every path
    is made of table keys and indexes into arrays of tables.
    """
    if isinstance(node, dict):
        for key, value in node.items():
            yield from scalar_paths(value, prefix + (key,))
    elif isinstance(node, list):
        if node and all(isinstance(e, dict) for e in node):
            for index, element in enumerate(node):
                yield from scalar_paths(element, prefix + (index,))
    elif isinstance(node, (bool, int, str)) or (isinstance(node, float) and math.isfinite(node)):
        yield prefix, node


def edited_value(value: Any) -> Any:
    if isinstance(value, bool):
        return not value
    if isinstance(value, int):
        return value + 1 if value < 2**63 - 1 else value - 1
    if isinstance(value, float):
        return value + 0.5
    return value + "-edited"


def pick_edits(plain: dict, count: int = EDIT_COUNT) -> list[tuple[tuple, Any]]:
    """Choose `count` scalars spread evenly over the document, with their new values."""
    found = list(scalar_paths(plain))
    if len(found) > count:
        found = [found[(2 * i + 1) * len(found) // (2 * count)] for i in range(count)]
    return [(path, edited_value(value)) for path, value in found]


def added_table_key(plain: dict) -> str:
    key, n = "bench_added", 0
    while key in plain:
        n += 1
        key = f"bench_added_{n}"
    return key


def apply_edits(doc: Any, edits: list[tuple[tuple, Any]], new_key: str) -> None:
    """Perform the edits through the library's own item access."""
    for path, value in edits:
        target = doc
        for step in path[:-1]:
            target = target[step]
        target[path[-1]] = value
    doc[new_key] = copy.deepcopy(ADDED_TABLE)


def expected_after_edit(plain: dict, edits: list[tuple[tuple, Any]], new_key: str) -> dict:
    result = copy.deepcopy(plain)
    apply_edits(result, edits, new_key)
    return result


def same_value(a: Any, b: Any) -> bool:
    """Deep equality with exact types and NaN equal to NaN."""
    if type(a) is not type(b):
        return False
    if isinstance(a, dict):
        return list(a) == list(b) and all(same_value(a[k], b[k]) for k in a)
    if isinstance(a, list):
        return len(a) == len(b) and all(same_value(x, y) for x, y in zip(a, b))
    if isinstance(a, float) and math.isnan(a):
        return math.isnan(b)
    return a == b


def same_content(a: Any, b: Any) -> bool:
    """Like same_value but ignoring key order, for readers that reorder tables."""
    if type(a) is not type(b):
        return False
    if isinstance(a, dict):
        return set(a) == set(b) and all(same_content(a[k], b[k]) for k in a)
    if isinstance(a, list):
        return len(a) == len(b) and all(same_content(x, y) for x, y in zip(a, b))
    if isinstance(a, float) and math.isnan(a):
        return math.isnan(b)
    return a == b


def first_difference(a: str, b: str) -> str:
    if a == b:
        return "byte-exact"
    n = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    line = a.count("\n", 0, n) + 1
    return f"differs from the input at character {n} (line {line}): {a[n:n + 30]!r} -> {b[n:n + 30]!r}"
