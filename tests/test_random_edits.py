"""Long random sequences of edits over varied documents: after every edit the
text must parse back to the value the API shows and render back identically."""

import copy
import datetime
import random

import pytest

from quillon import DictItem, Document, ListItem

SOURCES = {
    "commented": """\
# Service configuration
title = "demo"  # the name
port = 0x1F90   # 8080
ratio = 1.5
enabled = true
when = 1979-05-27T07:32:00Z

# servers follow
[server]
# the address
host = "localhost"
ports = [ 8000, 8001, 8002 ]

[server.tls]
cert = 'c.pem'  # literal
""",
    "multiline-arrays": """\
deps = [
  "a", # first
  "b", # second
  "c",
]
matrix = [
  [1, 2],
  [3, 4]
]
tail = [
    1,
    2
]
empty = []
""",
    "inline-tables": """\
point = { x = 1, y = 2 }
nested = { inner = { a = 1 }, list = [1, 2], s = "x" }
box = {
  w = 10, # width
  h = 20, # height
  d = 5
}
people = [ { name = "a" }, { name = "b", age = 3 } ]
""",
    "arrays-of-tables": """\
[[fruit]]
name = "apple"  # red

[fruit.physical]
color = "red"

[[fruit.variety]]
name = "red delicious"

[[fruit]]
name = "banana"

[[fruit.variety]]
name = "plantain"

[other]
k = 1
""",
    "dotted-keys": """\
a.b.c = 1
a.b.d = "two"
a.e = [1, 2]
site."google.com" = true

[tool.poetry]
name = "pkg"
deps.python = "^3.11"
deps.rich = { version = "13", optional = true }
""",
    "blank-lines": """\

x = 1


[t]

y = 2

# trailing comment
""",
}

SCALARS = [0, -7, 2**40, 3.25, -0.5, True, False, "", "plain", "quo\"te", "new\nline", "tab\there",
           datetime.date(2024, 2, 29), datetime.time(1, 2, 3),
           datetime.datetime(2024, 1, 2, 3, 4, 5, 120),
           datetime.datetime(2024, 1, 2, 3, 4, 5, tzinfo=datetime.timezone(datetime.timedelta(hours=-5)))]
KEYS = ["a", "b", "x", "new", "port", "name", "k 1", "ü", "0", "deps"]


def random_plain(rng, depth=0):
    """A Python value that converts to TOML."""
    roll = rng.random()
    if depth > 2 or roll < 0.5:
        return rng.choice(SCALARS)
    if roll < 0.7:
        return [random_plain(rng, depth + 1) for _ in range(rng.randrange(4))]
    if roll < 0.9:
        return {rng.choice(KEYS): random_plain(rng, depth + 1) for _ in range(rng.randrange(4))}
    return [{rng.choice(KEYS): random_plain(rng, depth + 1)} for _ in range(1 + rng.randrange(3))]


def walk(item, out):
    """Every table-like and array-like reference below `item`."""
    if isinstance(item, DictItem):
        out.append(item)
        for key in list(item):
            walk(item[key], out)
    elif isinstance(item, ListItem):
        out.append(item)
        for child in item:
            walk(child, out)


def containers(doc):
    out = []
    for key in list(doc):
        walk(doc[key], out)
    return out


def all_items(doc):
    """Every reference of the document, scalars included."""
    out = []

    def visit(item):
        out.append(item)
        if isinstance(item, (DictItem, ListItem)):
            for child in (item[k] for k in list(item)) if isinstance(item, DictItem) else list(item):
                visit(child)

    for key in list(doc):
        visit(doc[key])
    return out


def random_value(rng, doc, others):
    """A plain value, or an Item or Document copied from this or another document."""
    if rng.random() < 0.03:
        return rng.choice(others)
    if rng.random() < 0.4:
        pool = all_items(rng.choice([doc] + others))
        if pool:
            item = rng.choice(pool)
            roll = rng.random()
            if roll < 0.15:
                return {rng.choice(KEYS): item}
            if roll < 0.25 and (hasattr(DictItem, "items") or not isinstance(item, DictItem)):
                return [item]  # a table Item in a list is read through its items()
            return item
    return random_plain(rng)


def edit_container(rng, doc, target, others):
    value = random_value(rng, doc, others)
    if isinstance(target, DictItem):
        keys = list(target)
        op = rng.randrange(6)
        if op <= 1 or not keys:
            target[rng.choice(keys + KEYS) if keys else rng.choice(KEYS)] = value
        elif op == 2:
            del target[rng.choice(keys)]
        elif op == 3:
            target.clear()
        elif op == 4:
            target[rng.choice(keys)] = value
        else:
            target.fmt()
        return
    n = len(target)
    op = rng.randrange(6)
    if op <= 1 and n:
        target[rng.randrange(-n, n)] = value
    elif op == 2 and n:
        del target[rng.randrange(-n, n)]
    elif op == 3:
        start, stop = sorted(rng.randrange(n + 1) for _ in range(2))
        target[start:stop] = [random_value(rng, doc, others) for _ in range(rng.randrange(3))]
    elif op == 4 and n:
        del target[rng.randrange(n):rng.randrange(n + 1):rng.choice([1, 2, -1])]
    elif op == 5:
        target.clear()
    else:
        target.fmt()


COMMENTS = [None, "# note", "#", "# two\n\n# lines", ""]


def edit_comment(rng, doc):
    items = all_items(doc)
    if not items:
        return
    item = rng.choice(items)
    if rng.random() < 0.5:
        item.comment = rng.choice(COMMENTS)
    else:
        item.inline_comment = rng.choice(COMMENTS[:3])


def edit_document(rng, doc, others):
    keys = list(doc)
    op = rng.randrange(12)
    if op <= 2 or not keys:
        doc[rng.choice(keys + KEYS) if keys else rng.choice(KEYS)] = random_value(rng, doc, others)
    elif op == 3:
        del doc[rng.choice(keys)]
    elif op == 4:
        doc.pop(rng.choice(keys + ["missing"]), None)
    elif op == 5:
        doc.popitem()
    elif op == 6:
        doc.setdefault(rng.choice(KEYS), random_plain(rng))
    elif op == 7:
        doc.update({rng.choice(KEYS): random_value(rng, doc, others)}, **{rng.choice(KEYS): random_plain(rng)})
    elif op == 8:
        doc |= rng.choice(others) if rng.random() < 0.5 else {rng.choice(KEYS): random_plain(rng)}
    elif op == 9:
        merged = doc | rng.choice(others)
        check(merged)
    elif op == 10:
        if rng.random() < 0.05:
            doc.clear()
        else:
            doc.fmt()
    else:
        copy.deepcopy(doc)


def check(doc):
    text = doc.as_toml()
    assert copy.copy(doc).as_toml() == text  # the text kept from before is still current
    reparsed = Document.parse(text)
    assert reparsed.value == doc.value, text
    assert reparsed.as_toml() == text


def run(seed, steps):
    rng = random.Random(seed)
    names = sorted(SOURCES)
    doc = Document.parse(SOURCES[names[seed % len(names)]])
    others = [Document.parse(SOURCES[name]) for name in names]
    for step in range(steps):
        before = doc.as_toml()
        try:
            pool = containers(doc) if rng.random() < 0.55 else []
            if pool:
                edit_container(rng, doc, rng.choice(pool), others)
            elif rng.random() < 0.1:
                edit_comment(rng, doc)
            else:
                edit_document(rng, doc, others)
        except (TypeError, ValueError, KeyError, IndexError):
            # Edits the target cannot take (a scalar into an array of tables,
            # popitem on an empty document) must leave the text as it was.
            assert doc.as_toml() == before
        check(doc)
        if not doc and rng.random() < 0.5:
            doc = Document.parse(SOURCES[rng.choice(names)])


@pytest.mark.parametrize("seed", range(12))
def test_random_edits_round_trip(seed):
    run(seed, 250)
