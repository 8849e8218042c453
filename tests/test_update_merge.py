"""update, |= and | on tables: what they accept, when they convert, which
references they make stale, and which comments they bring along. Random edit
sequences through DictItem check that every edit leaves valid TOML, and
repeated runs check that no references leak."""

import collections.abc
import copy
import gc
import random
import sys

import pytest

from quillon import DictItem, Document, ListItem

STALE = "stale: the document has been modified since this reference was created"


class Pairs(collections.abc.Mapping):
    def __init__(self, pairs):
        self.pairs = list(pairs)

    def __getitem__(self, key):
        return dict(self.pairs)[key]

    def __iter__(self):
        return iter(k for k, _ in self.pairs)

    def __len__(self):
        return len(self.pairs)


class RawDict(dict):
    def items(self):
        raise AssertionError("a dict subclass is read directly")


class FailingItems(collections.abc.Mapping):
    def __getitem__(self, key):
        raise KeyError(key)

    def __iter__(self):
        return iter(())

    def __len__(self):
        return 0

    def items(self):
        raise LookupError("items failed")


@pytest.fixture
def doc():
    return Document.parse("[t]\na = 1\nb = 2\n")


@pytest.fixture(params=["Document", "DictItem"])
def target(request):
    """A document, and a way to reach the table the update goes to: its root
    or its table [t], holding the same entries."""
    if request.param == "Document":
        doc = Document.parse("a = 1\nb = 2\n")
        return doc, lambda: doc
    doc = Document.parse("[t]\na = 1\nb = 2\n")
    return doc, lambda: doc["t"]


# ---- accepted sources ----


@pytest.mark.parametrize(
    "make_other, value",
    [
        (lambda d: {"b": 3, "c": 4}, {"a": 1, "b": 3, "c": 4}),
        (lambda d: RawDict(c=4), {"a": 1, "b": 2, "c": 4}),
        (lambda d: Pairs([("c", 4), ("a", 0)]), {"a": 0, "b": 2, "c": 4}),
        (lambda d: [("c", 4), ["d", [5]]], {"a": 1, "b": 2, "c": 4, "d": [5]}),
        (lambda d: iter([("c", {"x": 1})]), {"a": 1, "b": 2, "c": {"x": 1}}),
        (lambda d: [("c", 1), ("c", 2)], {"a": 1, "b": 2, "c": 2}),
        (lambda d: [], {"a": 1, "b": 2}),
        (lambda d: None, {"a": 1, "b": 2}),
        (lambda d: Document.parse("[s]\nc = 4\n")["s"], {"a": 1, "b": 2, "c": 4}),
        (lambda d: Document.parse("s = { c = 4 }\n")["s"], {"a": 1, "b": 2, "c": 4}),
        (lambda d: Document.parse("c = 4\nb = 'x'\n"), {"a": 1, "b": "x", "c": 4}),
        (lambda d: d["t"], {"a": 1, "b": 2}),
        (lambda d: d, {"a": 1, "b": 2, "t": {"a": 1, "b": 2}}),
    ],
    ids=["dict", "dict-subclass", "mapping", "pairs", "iterator", "repeated-key", "empty", "none",
         "table-item", "inline-item", "other-document", "itself", "own-document"],
)
@pytest.mark.parametrize("how", ["update", "ior"])
def test_update_sources(doc, make_other, value, how):
    other = make_other(doc)
    t = doc["t"]
    if how == "update":
        t.update(other)
    else:
        t |= other
    assert doc["t"].value == value
    assert Document.parse(doc.as_toml()).value == doc.value


def test_keywords_are_written_after_other(target):
    _, table = target
    table().update({"c": 1}, b=5, d=6)
    assert list(table()) == ["a", "b", "c", "d"]
    assert table().value == {"a": 1, "b": 5, "c": 1, "d": 6}


def test_update_of_an_inline_table(doc):
    doc = Document.parse("t = { a = 1 }\n")
    doc["t"].update({"b": {"x": 1}, "c": [{"y": 2}]})
    assert doc.as_toml() == "t = { a = 1, b = { x = 1 }, c = [{ y = 2 }] }\n"


# ---- staleness ----


def test_only_overwritten_keys_become_stale(target):
    _, table = target
    table()["sub"] = {"x": 1}
    t = table()
    a, b, sub_x = t["a"], t["b"], t["sub"]["x"]
    keys = t.keys()
    t.update({"a": 5, "new": 1}, sub={"x": 2})
    for ref in (a, sub_x):
        with pytest.raises(RuntimeError, match=STALE):
            ref.value
    assert b.value == 2
    assert t.value["new"] == 1
    assert list(keys) == ["a", "b", "sub", "new"]


def test_new_keys_stale_nothing(target):
    _, table = target
    t = table()
    refs = [t["a"], t["b"], t.keys()]
    t.update(c=3)
    t |= {"d": 4}
    assert [r.value for r in refs[:2]] == [1, 2]
    assert list(refs[2]) == ["a", "b", "c", "d"]


def test_a_key_written_twice_is_stale_after_its_second_write(target):
    _, table = target
    t = table()
    t.update([("c", 1)])
    c = t["c"]
    t.update([("n", 1), ("c", 2)])
    with pytest.raises(RuntimeError, match=STALE):
        c.value


# ---- conversion before the first write ----


@pytest.mark.parametrize(
    "args, kwargs, exc, message",
    [
        (({"a": 5, "b": None},), {}, TypeError, "None is not a valid TOML value (TOML has no null type)"),
        (({"a": 5},), {"b": None}, TypeError, "None is not a valid TOML value (TOML has no null type)"),
        (({1: 2},), {}, TypeError, "keys must be strings"),
        (([("a", 5), ("b", 1, 2)],), {}, ValueError, "expected a length-2 iterable pair"),
        (([("a", 5), 7],), {}, TypeError, None),
        ((5,), {}, TypeError, None),
        ((FailingItems(),), {}, LookupError, "items failed"),
        ((Document.parse("x = 1")["x"],), {}, TypeError, "TOML integer item does not support |"),
        ((Document.parse("x = [1]")["x"],), {}, TypeError, "TOML array item does not support |"),
    ],
)
def test_failed_update_changes_nothing(target, args, kwargs, exc, message):
    doc, table = target
    before = doc.as_toml()
    a = table()["a"]
    with pytest.raises(exc) as info:
        table().update(*args, **kwargs)
    if message is not None:
        assert str(info.value) == message
    assert doc.as_toml() == before
    assert a.value == 1


def test_stale_source_item_is_refused(target):
    doc, table = target
    before = doc.as_toml()
    other = Document.parse("[s]\nc = 1\n")
    s = other["s"]
    other["s"] = {}
    with pytest.raises(RuntimeError, match=STALE):
        table().update(s)
    assert doc.as_toml() == before


def test_conversion_error_comes_before_the_freshness_check(doc):
    t = doc["t"]
    doc["t"] = {"a": 1}
    with pytest.raises(TypeError, match="keys must be strings"):
        t.update({1: 2})
    with pytest.raises(RuntimeError, match=STALE):
        t.update({"x": 2})


def test_source_changed_between_resolution_and_write_is_refused(target):
    doc, table = target
    before = doc.as_toml()
    other = Document.parse("[s]\nc = 1\n")
    s = other["s"]

    class Meddling(collections.abc.Mapping):
        """A keyword value whose conversion replaces the source table."""

        def __getitem__(self, key):
            return 1

        def __iter__(self):
            other["s"] = {"c": 2}
            return iter(["k"])

        def __len__(self):
            return 1

    with pytest.raises(RuntimeError, match=STALE):
        table().update(s, k=Meddling())
    assert doc.as_toml() == before


def test_update_while_the_document_is_read_is_refused(target):
    doc, table = target
    before = doc.as_toml()

    class Reentrant:
        def __eq__(self, other):
            table().update({"z": 1})
            return False

        __hash__ = None

    with pytest.raises(RuntimeError, match="Already borrowed"):
        Reentrant() in table().values()
    assert doc.as_toml() == before


# ---- comments ----


def test_merge_brings_the_comment_lines_of_new_keys_only():
    src = Document.parse("[s]\n# about a\na = 9\n# about n\nn = 1  # inline\n")
    doc = Document.parse("[t]\n# mine\na = 1\n")
    doc["t"].update(src["s"])
    assert doc.as_toml() == "[t]\n# mine\na = 9\n# about n\nn = 1  # inline\n"


def test_merge_from_another_document_root():
    src = Document.parse("# first\nx = 1\n")
    doc = Document.parse("[t]\ny = 0\n")
    doc["t"] |= src
    assert doc.as_toml() == "[t]\ny = 0\n# first\nx = 1\n"


def test_merge_from_a_multiline_inline_table_into_a_table():
    src = Document.parse("s = {\n  x = 1, # one\n  y = 2\n}\n")
    doc = Document.parse("[t]\na = 0\n")
    doc["t"].update(src["s"])
    assert doc.as_toml() == "[t]\na = 0\nx = 1 # one\ny = 2\n"


def test_merge_of_tables_places_new_headers_on_their_own_lines():
    src = Document.parse("[s]\n[s.sub]\nq = 1\n[s.more]\nr = 2\n")
    doc = Document.parse("[t]\na = 0\n\n[z]\nk = 1\n")
    doc["t"].update(src["s"])
    text = doc.as_toml()
    assert Document.parse(text).value == {"t": {"a": 0, "sub": {"q": 1}, "more": {"r": 2}}, "z": {"k": 1}}
    assert "\n[t.sub]\nq = 1\n" in text and "\n[t.more]\nr = 2\n" in text


# ---- random edits through DictItem ----

SOURCES = [
    "# head\na = 1  # one\n\n[t]\n# x\nx = 1\ny = [1, 2]\n\n[t.sub]\nz = 'q'\n",
    "t = { a = 1, b = { c = 2 } }\nm = {\n  p = 1, # p\n  q = 2 # q\n}\n",
    "a.b.c = 1\na.d = 2\n[x.y]\nz = 0\n[[arr]]\nn = 1\n[[arr]]\nn = 2\n",
    "[u]\n[u.v]\nw = { k = 1, }\n",
    "point = { x = 1, y = 2 }\nbox = {\n  w = 10, # width\n  h = 20, # height\n  d = 5\n}\n"
    "[tool.poetry]\nname = 'pkg'\ndeps.python = '^3.11'\ndeps.rich = { version = '13', optional = true }\n",
]
KEYS = ["a", "b", "x", "n", "q", "new", "k 1", "z"]
VALUES = [0, "s", 1.5, True, [1, 2], {"k": 1}, {"k": {"j": 2}}, [{"r": 1}], []]


def tables(doc):
    out = []

    def visit(item):
        if isinstance(item, DictItem):
            out.append(item)
            for child in item.values():
                visit(child)
        elif isinstance(item, ListItem):
            for child in item:
                visit(child)

    for child in doc.values():
        visit(child)
    return out


def pick_value(rng, doc, others):
    roll = rng.random()
    if roll < 0.25:
        pool = tables(rng.choice(others + [doc]))
        if pool:
            return rng.choice(pool)
    if roll < 0.3:
        return rng.choice(others)
    return copy.deepcopy(rng.choice(VALUES))


def edit(rng, doc, others):
    pool = tables(doc)
    if not pool:
        doc.update({rng.choice(KEYS): {"k": 1}})
        return
    t = rng.choice(pool)
    keys = list(t.keys())
    op = rng.randrange(9)
    if op == 0:
        t.update({rng.choice(KEYS): pick_value(rng, doc, others)}, **{rng.choice(KEYS): rng.choice(VALUES)})
    elif op == 1:
        t.update(pick_value(rng, doc, others))
    elif op == 2:
        t.pop(rng.choice(keys + ["missing"]), None)
    elif op == 3:
        t.popitem()
    elif op == 4:
        t.setdefault(rng.choice(KEYS), pick_value(rng, doc, others))
    elif op == 5:
        t |= [(rng.choice(KEYS), pick_value(rng, doc, others))]
    elif op == 6:
        before = doc.as_toml()
        merged = t | rng.choice([{rng.choice(KEYS): 1}, rng.choice(others)])
        assert isinstance(merged, DictItem)
        assert doc.as_toml() == before
        probe = Document()
        probe["m"] = merged
        check(probe)
    elif op == 7:
        assert [k for k, _ in t.items()] == keys
        assert [v.value for v in reversed(t.values())] == [t[k].value for k in reversed(keys)]
    else:
        # An empty table whose header is hidden leaves no trace in the text.
        t.implicit = rng.random() < 0.5 and len(t) > 0


def check(doc):
    text = doc.as_toml()
    reparsed = Document.parse(text)
    assert reparsed.value == doc.value, text
    assert reparsed.as_toml() == text


@pytest.mark.parametrize("seed", range(16))
def test_random_dict_item_edits_round_trip(seed):
    rng = random.Random(seed)
    doc = Document.parse(SOURCES[seed % len(SOURCES)])
    others = [Document.parse(s) for s in SOURCES]
    for _ in range(150):
        before = doc.as_toml()
        try:
            edit(rng, doc, others)
        except (TypeError, ValueError, KeyError):
            assert doc.as_toml() == before
        check(doc)


# ---- reference leaks ----


def dict_item_round(doc, other, value, default):
    t = doc["t"]
    t.get("x"), t.get("missing", default), t.get(default, default)
    t.setdefault("x", value)
    t.setdefault("n", value)
    t.update({"u": value}, kw=value)
    t.update(other["s"])
    t.update(other)
    t |= [("p", value)]
    (t | {"q": value}).as_toml()
    {"q": value} | t
    t | other["s"]
    list(t.keys()), list(t.values()), list(t.items())
    list(reversed(t.keys())), list(reversed(t.values())), list(reversed(t.items()))
    repr(t.keys()), repr(t.values()), repr(t.items()), len(t.items())
    "x" in t.keys(), value in t.values(), ("x", value) in t.items(), default in t.keys()
    t.keys() == {"x"}, t.items() == {("x", 1)}, t.keys() | {"z"}, t.keys() & ["x", default], t.keys() - [value]
    t.keys() ^ {"x"}
    t.implicit = True
    t.implicit
    t.pop("u"), t.pop("missing", default), t.pop(default, default), t.popitem()
    doc.keys(), list(doc.items())


def dict_item_failures(doc, other, value, default):
    t = doc["t"]
    stale = doc["t"]
    doc["t"] = {"x": 1}
    t = doc["t"]
    for call in [
        lambda: stale.keys(),
        lambda: stale.get("x"),
        lambda: stale.pop("x", default),
        lambda: t.pop("missing"),
        lambda: t.pop(default),
        lambda: t.pop("x", 1, 2),
        lambda: t.setdefault("new"),
        lambda: t.setdefault("x", default),
        lambda: t.setdefault(default, 1),
        lambda: t.update({"a": value, "b": None}),
        lambda: t.update([("a", 1, 2)]),
        lambda: t.update(other["s"]["c"]),
        lambda: t.update(5),
        lambda: t.__ior__(5),
        lambda: t | 5,
        lambda: 5 | t,
        lambda: t.keys() < set(),
        lambda: {"a"} | t.keys(),
        lambda: setattr(t, "implicit", default),
        lambda: Document().popitem(),
        lambda: t.get(),
    ]:
        try:
            call()
        except (KeyError, TypeError, ValueError, RuntimeError):
            pass
        else:
            raise AssertionError("no error")
    views = [t.keys(), t.values(), t.items()]
    doc["t"] = {}
    for view in views:
        for use in (len, list, repr):
            try:
                use(view)
            except RuntimeError:
                pass
            else:
                raise AssertionError("no error")


class Sentinel:
    pass


def leak_round(n):
    value = [1, 2]
    default = Sentinel()
    other = Document.parse("z = 1\n[s]\nc = 3\n")
    watched = [value, default, other]
    before = [sys.getrefcount(obj) for obj in watched]
    for _ in range(n):
        doc = Document.parse("[t]\nx = 1\ny = { a = 1 }\n")
        base = sys.getrefcount(doc)
        dict_item_round(doc, other, value, default)
        dict_item_failures(doc, other, value, default)
        assert sys.getrefcount(doc) == base
    return [sys.getrefcount(obj) for obj in watched], before


def test_dict_items_and_views_leak_no_references():
    after, before = leak_round(50)
    assert after == before


def test_dict_items_and_views_leave_no_objects_behind():
    leak_round(100)
    gc.collect()
    objects_before = len(gc.get_objects())
    leak_round(1000)
    gc.collect()
    assert len(gc.get_objects()) - objects_before < 100
