"""One nesting limit (80 levels of tables and arrays below the root) on every
route into a document, so that whatever a document holds renders to text
that parses again, and nothing deep can exhaust the C stack."""

import copy
import random
import sys

import pytest

from quillon import Document

LIMIT = 80
TOO_DEEP = "nesting too deep: a TOML document holds at most 80 levels of tables and arrays"


def nested_list(levels):
    value = 1
    for _ in range(levels):
        value = [value]
    return value


def nested_dict(levels):
    value = 1
    for _ in range(levels):
        value = {"k": value}
    return value


def deep_document(levels):
    """A document whose key "x" holds `levels` nested tables."""
    doc = Document()
    doc["x"] = nested_dict(levels)
    return doc


def item_at(doc, levels):
    item = doc["x"]
    for _ in range(levels - 1):
        item = item["k"]
    return item


def reparses(doc):
    text = doc.as_toml()
    assert Document.parse(text) == doc
    assert Document.parse(text).as_toml() == text


# Each route puts `payload(n)` somewhere in a fresh document: (name, depth of
# the place that receives it, how to store it).
ROUTES = [
    ("document assignment", 0, lambda doc, v: doc.__setitem__("new", v)),
    ("setdefault", 0, lambda doc, v: doc.setdefault("new", v)),
    ("document update", 0, lambda doc, v: doc.update(new=v)),
    ("table assignment", 3, lambda doc, v: item_at(doc, 3).__setitem__("new", v)),
    ("table update", 3, lambda doc, v: item_at(doc, 3).update({"new": v})),
    ("table setdefault", 3, lambda doc, v: item_at(doc, 3).setdefault("new", v)),
    ("array element", 4, lambda doc, v: item_at(doc, 3)["arr"].__setitem__(0, v)),
    ("array slice", 4, lambda doc, v: item_at(doc, 3)["arr"].__setitem__(slice(0, 0), [v])),
    ("append", 4, lambda doc, v: item_at(doc, 3)["arr"].append(v)),
    ("insert", 4, lambda doc, v: item_at(doc, 3)["arr"].insert(0, v)),
    ("extend", 4, lambda doc, v: item_at(doc, 3)["arr"].extend([v])),
    ("in-place add", 4, lambda doc, v: item_at(doc, 3)["arr"].__iadd__([v])),
]


def fresh():
    doc = deep_document(3)
    item_at(doc, 3)["arr"] = [0]
    return doc


@pytest.mark.parametrize("name, depth, store", ROUTES, ids=[r[0] for r in ROUTES])
@pytest.mark.parametrize("payload", [nested_list, nested_dict])
def test_every_route_accepts_up_to_the_limit_and_refuses_beyond(name, depth, store, payload):
    doc = fresh()
    store(doc, payload(LIMIT - depth))
    reparses(doc)

    doc = fresh()
    before = doc.as_toml()
    with pytest.raises(ValueError, match=TOO_DEEP):
        store(doc, payload(LIMIT - depth + 1))
    assert doc.as_toml() == before


@pytest.mark.parametrize("name, depth, store", ROUTES, ids=[r[0] for r in ROUTES])
@pytest.mark.parametrize("source", ["item", "document"])
def test_copies_of_items_and_documents_obey_the_limit(name, depth, store, source):
    # An Item spanning `levels` levels, or a Document whose root entry does
    # (a whole Document lands as a table: one level more).
    def copied(levels):
        if source == "item":
            return item_at(deep_document(LIMIT), LIMIT - levels + 1)
        return Document({"k": nested_dict(levels - 1)})

    doc = fresh()
    store(doc, copied(LIMIT - depth))
    reparses(doc)
    if source == "item" and depth == 0:
        return  # no Item spans more than the limit
    doc = fresh()
    before = doc.as_toml()
    with pytest.raises(ValueError, match=TOO_DEEP):
        store(doc, copied(LIMIT - depth + 1))
    assert doc.as_toml() == before


@pytest.mark.parametrize("source", ["item", "document"])
def test_merging_another_documents_table_obeys_the_limit(source):
    def other(levels):
        doc = Document({"new": nested_dict(levels)})
        return doc if source == "document" else Document({"t": doc})["t"]

    doc = fresh()
    item_at(doc, 3).update(other(LIMIT - 3))
    reparses(doc)
    doc = fresh()
    before = doc.as_toml()
    with pytest.raises(ValueError, match=TOO_DEEP):
        item_at(doc, 3).update(other(LIMIT - 2))
    assert doc.as_toml() == before
    with pytest.raises(ValueError, match=TOO_DEEP):
        item_at(doc, 3) | {"new": nested_list(LIMIT)}


@pytest.mark.parametrize(
    "make",
    [
        lambda: (lambda l: (l.append(l), l)[1])([1]),
        lambda: (lambda d: (d.__setitem__("d", d), d)[1])({"a": 1}),
        lambda: nested_list(100_000),
    ],
    ids=["self-containing list", "self-containing dict", "very deep list"],
)
@pytest.mark.parametrize("recursion_limit", [50, 100_000])
def test_self_containing_data_raises_whatever_the_recursion_limit(make, recursion_limit):
    data = make()
    doc = fresh()
    saved = sys.getrecursionlimit()
    sys.setrecursionlimit(max(recursion_limit, 200))
    try:
        for store in (lambda: doc.__setitem__("x", data), lambda: item_at(doc, 2).update(k=data)):
            with pytest.raises((ValueError, RecursionError)):
                store()
    finally:
        sys.setrecursionlimit(saved)


@pytest.mark.parametrize(
    "text, accepted",
    [
        ("x = " + "[" * 80 + "]" * 80, True),
        ("[a]\nx = " + "[" * 79 + "]" * 79, True),
        ("[a]\nx = " + "[" * 80 + "]" * 80, False),
        (".".join(["k"] * 80) + " = [1]", True),
        (".".join(["k"] * 80) + " = [[1]]", False),
        ("[" + ".".join(["k"] * 80) + "]\nx = 1", True),
        ("[" + ".".join(["k"] * 79) + "]\nx.y = 1", True),
        ("[" + ".".join(["k"] * 79) + "]\nx.y.z = 1", False),
        ("[[a]]\n[[a.b]]\n[" + "a.b." + ".".join(["k"] * 77) + "]", False),
        ("x = " + "{a.b = " * 40 + "1" + "}" * 40, True),
        ("x = " + "{a.b = " * 41 + "1" + "}" * 41, False),
    ],
)
def test_parser_applies_the_same_limit_to_the_whole_model(text, accepted):
    if accepted:
        reparses(Document.parse(text))
    else:
        with pytest.raises(ValueError, match="cannot recurse further; max recursion depth met"):
            Document.parse(text)


def test_growing_a_document_step_by_step_stops_at_the_limit():
    # Assign a chunk, descend into it, assign again: every step either fits
    # or is refused, and every state written parses back.
    rng = random.Random(7)
    doc = Document()
    doc["root"] = []
    item, depth = doc["root"], 1
    refused = 0
    while refused < 5:
        chunk = rng.randint(1, 30)
        try:
            item[len(item):] = [nested_list(chunk)]
        except ValueError as e:
            assert TOO_DEEP in str(e)
            refused += 1
            continue
        for _ in range(chunk):
            item = item[len(item) - 1]
        depth += chunk
        assert depth <= LIMIT
    reparses(doc)
    for duplicate in (copy.copy, copy.deepcopy):
        assert duplicate(doc) == doc
    del doc
