"""Long random sequences of list edits on arrays with comments, trailing
commas and nested arrays, and on arrays of tables. Each edit is mirrored on a
plain Python list; after every edit the array must hold what the list holds,
and the text must parse back to the value the API shows. A failing edit must
leave the text as it was."""

import copy
import random

import pytest

from quillon import Document, ListItem

SOURCES = [
    """\
deps = [
  "a", # first
  "b", # second
  "c",
]
tail = [
    1,
    2  # two
]
flat = [ 1, 2 , 3 ]  # after
nested = [
  [1, 2], # pair
  [ "x" ],
  [],
]
empty = []
""",
    """\
title = "x"

# the packages
[[package]]
name = "a"  # first
deps = [1, 2]

[[package]]
name = "b"

[package.extra]
k = 1

[[package]]
name = "c"
[other]
z = 0
""",
    """\
[[bin]]
a = 1
[[bin]]
a = 2
[t]
list = [
	{ x = 1 },  # one
	{ x = 2 }
]
""",
]

SCALARS = [0, 1, -5, 2**40, 1.5, True, "", "s", "new\nline", "# not a comment"]


def plain_value(rng, for_tables):
    if for_tables:
        return {rng.choice("abn"): rng.choice(SCALARS) for _ in range(rng.randrange(3))}
    roll = rng.random()
    if roll < 0.7:
        return rng.choice(SCALARS)
    if roll < 0.9:
        return [rng.choice(SCALARS) for _ in range(rng.randrange(3))]
    return {"k": rng.choice(SCALARS)}


def new_value(rng, doc, target_is_tables):
    """A plain value, or an element Item of the same document (which may carry
    an inline comment); returns (argument, its plain value)."""
    if rng.random() < 0.25:
        pool = [e for t in list_items(doc) for e in t if isinstance(t.value, list)]
        pool = [e for e in pool if isinstance(e.value, dict) == target_is_tables]
        if pool:
            item = rng.choice(pool)
            return item, item.value
    value = plain_value(rng, target_is_tables)
    return value, value


def list_items(doc):
    out = []

    def visit(item):
        if isinstance(item, ListItem):
            out.append(item)
            for child in item:
                visit(child)
        elif hasattr(item, "keys"):
            for key in list(item):
                visit(item[key])

    for key in list(doc):
        visit(doc[key])
    return out


def random_edit(rng, doc, target):
    """Applies one random edit to `target` and returns the plain list it
    should now hold, or raises the edit's error."""
    model = target.value
    if model:
        is_tables = all(isinstance(x, dict) for x in model) and rng.random() < 0.9
    else:
        is_tables = rng.random() < 0.5
    n = len(model)
    arg, plain = new_value(rng, doc, is_tables)
    op = rng.randrange(15)
    if op == 0:
        target.append(arg)
        model.append(plain)
    elif op == 1:
        i = rng.randrange(-n - 2, n + 3)
        target.insert(i, arg)
        model.insert(i, plain)
    elif op == 2:
        extra = [new_value(rng, doc, is_tables) for _ in range(rng.randrange(3))]
        if rng.random() < 0.5:
            target.extend([a for a, _ in extra])
        else:
            target += [a for a, _ in extra]
        model.extend(p for _, p in extra)
    elif op == 3:
        i = rng.randrange(-n - 1, n + 1) if rng.random() < 0.7 else None
        got = target.pop() if i is None else target.pop(i)
        expected = model.pop() if i is None else model.pop(i)
        assert got == expected
    elif op == 4 and n:
        value = model[rng.randrange(n)] if rng.random() < 0.9 else "absent"
        target.remove(value)
        del model[next(i for i, x in enumerate(model) if same(x, value))]
    elif op == 5 and n:
        i = rng.randrange(-n, n)
        del target[i]
        del model[i]
    elif op == 6:
        s = slice(rng.randrange(-1, n + 2), rng.randrange(-1, n + 2), rng.choice([None, 1, 2, -1, -2]))
        del target[s]
        del model[s]
    elif op == 7:
        start, stop = sorted(rng.randrange(n + 1) for _ in range(2))
        new = [new_value(rng, doc, is_tables) for _ in range(rng.randrange(4))]
        target[start:stop] = [a for a, _ in new]
        model[start:stop] = [p for _, p in new]
    elif op == 8 and n:
        s = slice(rng.randrange(n), None, rng.choice([2, -1, 3]))
        k = len(range(*s.indices(n))) + (1 if rng.random() < 0.1 else 0)
        new = [new_value(rng, doc, is_tables) for _ in range(k)]
        target[s] = [a for a, _ in new]
        model[s] = [p for _, p in new]
    elif op == 9 and n:
        i = rng.randrange(n)
        target[i] = arg
        model[i] = plain
    elif op == 10:
        times = rng.choice([0, 1, 2])
        target *= times
        model *= times
    elif op == 11:
        target.set_multiline(indent=rng.choice([0, 2, 4]))
    elif op == 12 and n:
        element = target[rng.randrange(n)]
        if not isinstance(element.value, dict) or not is_tables:
            element.inline_comment = rng.choice(["# c", None, "#"])
    elif op == 13 and rng.random() < 0.2:
        target.clear()
        model.clear()
    else:
        assert target.count(plain) == sum(same(x, plain) for x in model)
    return model


def same(a, b):
    """Equality as TOML sees it: a boolean is not an integer."""
    if isinstance(a, bool) != isinstance(b, bool):
        return False
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    return type(a) is type(b) and a == b


def check(doc):
    text = doc.as_toml()
    reparsed = Document.parse(text)
    assert reparsed.value == doc.value, text
    assert reparsed.as_toml() == text
    assert copy.copy(doc).as_toml() == text  # nothing copied from the source is out of date


@pytest.mark.parametrize("seed", range(24))
def test_random_list_edits(seed):
    rng = random.Random(seed)
    doc = Document.parse(SOURCES[seed % len(SOURCES)])
    for step in range(200):
        targets = list_items(doc)
        if not targets:
            break
        target = rng.choice(targets)
        before = doc.as_toml()
        try:
            expected = random_edit(rng, doc, target)
        except (ValueError, TypeError, IndexError) as e:
            assert doc.as_toml() == before, f"step {step}: failed edit changed the text ({e})"
            continue
        assert target.value == expected, f"step {step}"
        check(doc)
