"""KeysView, ValuesView and ItemsView: live views of a table that re-read it
on every use and go stale when the table itself is replaced or cleared."""

import collections.abc
import datetime as dt

import pytest

from quillon import DictItem, Document, ItemsView, KeysView, ListItem, ScalarItem, ValuesView

STALE = "stale: the document has been modified since this reference was created"

SOURCE = """\
top = 1

[t]
a = 1
b = [1, 2]
c = { x = 1 }

[t.sub]
y = "s"

[u]
z = 0x5
"""


@pytest.fixture
def doc():
    return Document.parse(SOURCE)


def views_of(target):
    return {"keys": target.keys(), "values": target.values(), "items": target.items()}


# ---- the classes ----


@pytest.mark.parametrize(
    "cls, method, abc, doc",
    [
        (KeysView, "keys", collections.abc.KeysView,
         "A live view of the string keys in a TOML table (or the document root)."),
        (ValuesView, "values", collections.abc.ValuesView,
         "A live view of the values in a TOML table (or the document root)."),
        (ItemsView, "items", collections.abc.ItemsView,
         "A live view of the (key, value) pairs in a TOML table (or the document root)."),
    ],
)
def test_classes(cls, method, abc, doc):
    assert cls.__doc__ == doc
    assert cls.__reversed__.__text_signature__ == "($self)"
    assert isinstance(getattr(Document(), method)(), abc)


@pytest.mark.parametrize("method, cls", [("keys", KeysView), ("values", ValuesView), ("items", ItemsView)])
def test_documents_and_tables_hand_out_views(doc, method, cls):
    assert type(getattr(doc, method)()) is cls
    assert type(getattr(doc["t"], method)()) is cls
    assert type(getattr(doc["t"]["c"], method)()) is cls
    assert vars(Document)[method].__text_signature__ == "($self)"


@pytest.mark.parametrize("method", ["keys", "values", "items"])
def test_document_view_methods_take_no_arguments(doc, method):
    with pytest.raises(TypeError) as info:
        getattr(doc, method)(1)
    assert str(info.value) == f"Document.{method}() takes 0 positional arguments but 1 was given"


# ---- reading ----


def test_iteration_yields_keys_items_and_pairs(doc):
    t = doc["t"]
    assert list(t.keys()) == ["a", "b", "c", "sub"]
    values = list(t.values())
    assert [type(v) for v in values] == [ScalarItem, ListItem, DictItem, DictItem]
    assert [v.value for v in values] == [1, [1, 2], {"x": 1}, {"y": "s"}]
    pairs = list(t.items())
    assert all(type(p) is tuple and len(p) == 2 for p in pairs)
    assert [(k, v.value) for k, v in pairs] == [("a", 1), ("b", [1, 2]), ("c", {"x": 1}), ("sub", {"y": "s"})]
    assert dict(t.items())["b"] == [1, 2]
    assert type(dict(t.items())["b"]) is ListItem


def test_children_from_iteration_are_live(doc):
    for key, child in doc["t"].items():
        if key == "c":
            child["x"] = 2
    assert doc["t"]["c"]["x"].value == 2


@pytest.mark.parametrize("kind", ["keys", "values", "items"])
def test_reversed_yields_last_first(doc, kind):
    view = views_of(doc["t"])[kind]
    forward = list(view)
    backward = list(reversed(view))
    if kind == "keys":
        assert backward == forward[::-1]
    elif kind == "values":
        assert [v.value for v in backward] == [v.value for v in forward][::-1]
    else:
        assert [(k, v.value) for k, v in backward] == [(k, v.value) for k, v in forward][::-1]


@pytest.mark.parametrize("kind", ["keys", "values", "items"])
def test_iteration_is_a_snapshot(doc, kind):
    view = views_of(doc["t"])[kind]
    it = iter(view)
    doc["t"]["new"] = 1
    del doc["t"]["b"]
    assert len(list(it)) == 4
    assert len(view) == 4  # a, c, sub and new


@pytest.mark.parametrize(
    "target, length",
    [
        (lambda d: d, 3),
        (lambda d: d["t"], 4),
        (lambda d: d["t"]["c"], 1),
        (lambda d: Document(), 0),
    ],
)
def test_len(doc, target, length):
    for view in views_of(target(doc)).values():
        assert len(view) == length


def test_repr(doc):
    t = doc["t"]
    assert repr(t.keys()) == "KeysView(['a', 'b', 'c', 'sub'])"
    assert repr(t.values()) == "ValuesView(<4 values>)"
    assert repr(t.items()) == "ItemsView(<4 items>)"
    assert repr(Document().keys()) == "KeysView([])"


def test_keys_repr_does_not_escape():
    doc = Document.parse("\"it's\" = 1\n'q\"' = 2\n")
    assert repr(doc.keys()) == "KeysView(['it's', 'q\"'])"


# ---- liveness and staleness ----


def test_views_see_later_additions_and_removals(doc):
    k = doc.keys()
    doc["new"] = 1
    assert len(k) == 4
    assert "new" in k
    assert list(k)[-1] == "new"
    del doc["top"]
    assert "top" not in k
    assert repr(doc.items()) == "ItemsView(<3 items>)"


@pytest.mark.parametrize(
    "edit",
    [
        lambda d: d["t"].__setitem__("a", 5),
        lambda d: d["t"].__delitem__("a"),
        lambda d: d["t"].update({"b": 0, "q": 1}),
        lambda d: d["t"].pop("c"),
        lambda d: d["t"].popitem(),
        lambda d: d["t"]["c"].clear(),
        lambda d: d.__setitem__("u", 1),
        lambda d: d["t"].setdefault("n", 1),
        lambda d: setattr(d["t"], "implicit", True),
    ],
    ids=["overwrite", "delete", "update", "pop", "popitem", "clear-child", "other-table", "setdefault", "implicit"],
)
def test_views_stay_valid_across_edits_below_or_beside_them(doc, edit):
    views = views_of(doc["t"])
    edit(doc)
    for view in views.values():
        assert len(view) == len(doc["t"])


USES = {
    "len": len,
    "iter": list,
    "reversed": lambda v: list(reversed(v)),
    "repr": repr,
    "contains": lambda v: (("x", 1) if isinstance(v, ItemsView) else "x") in v,
    "eq": lambda v: v == {"x"},
    "ne": lambda v: v != {"x"},
}
# ValuesView compares by identity, without looking at the table.
STALE_USES = [(kind, use) for kind in ("keys", "values", "items") for use in USES
              if not (kind == "values" and use in ("eq", "ne"))]


@pytest.mark.parametrize(
    "edit",
    [
        lambda d: d.__setitem__("t", {"x": 1}),
        lambda d: d.__delitem__("t"),
        lambda d: d.pop("t"),
        lambda d: d.update({"t": {}}),
        lambda d: d["t"].clear(),
        lambda d: d.clear(),
    ],
    ids=["replace", "delete", "pop", "update", "clear-table", "clear-document"],
)
@pytest.mark.parametrize("kind, use", STALE_USES)
def test_views_go_stale_when_their_table_is_replaced_or_cleared(doc, edit, kind, use):
    view = views_of(doc["t"])[kind]
    edit(doc)
    with pytest.raises(RuntimeError, match=STALE):
        USES[use](view)


@pytest.mark.parametrize("op", ["|", "^", "&", "-"])
def test_stale_keys_view_set_operators_raise(doc, op):
    k = doc["t"].keys()
    doc["t"] = {}
    with pytest.raises(RuntimeError, match=STALE):
        eval(f"k {op} {{'x'}}")


def test_root_views_go_stale_only_on_clear(doc):
    k = doc.keys()
    doc["t"] = 5
    doc["top"] = {"new": 1}
    assert list(k) == ["top", "t", "u"]
    doc.clear()
    with pytest.raises(RuntimeError, match=STALE):
        len(k)


def test_view_of_a_stale_item_cannot_be_made(doc):
    t = doc["t"]
    doc["t"] = {}
    with pytest.raises(RuntimeError, match=STALE):
        t.keys()


# ---- membership ----


@pytest.mark.parametrize(
    "key, expected",
    [("a", True), ("sub", True), ("zz", False), (1, False), (None, False), (("a",), False)],
)
def test_keys_membership(doc, key, expected):
    assert (key in doc["t"].keys()) is expected


def test_keys_membership_with_a_non_string_does_not_check_freshness(doc):
    k = doc["t"].keys()
    doc["t"] = {}
    assert (1 in k) is False
    with pytest.raises(RuntimeError, match=STALE):
        "a" in k


def test_keys_membership_accepts_string_items(doc):
    key = Document.parse('k = "sub"')["k"]
    assert key in doc["t"].keys()


@pytest.mark.parametrize(
    "value, expected",
    [
        (1, True),
        (1.0, True),
        (True, False),
        ([1, 2], True),
        ((1, 2), False),
        ({"x": 1}, True),
        ({"y": "s"}, True),
        ("s", False),
        (5, False),
    ],
)
def test_values_membership_uses_structural_equality(doc, value, expected):
    assert (value in doc["t"].values()) is expected


def test_values_membership_compares_hex_and_items(doc):
    assert 5 in doc["u"].values()
    assert Document.parse("z = 5")["z"] in doc["u"].values()
    assert Document.parse("z = 5.0")["z"] not in doc["u"].values()


def test_values_membership_propagates_comparison_errors(doc):
    class Bad:
        def __eq__(self, other):
            raise ArithmeticError("no")

        __hash__ = None

    with pytest.raises(ArithmeticError):
        Bad() in doc["u"].values()


@pytest.mark.parametrize(
    "pair, expected",
    [
        (("a", 1), True),
        (("a", 1.0), True),
        (("a", 2), False),
        (["a", 1], False),
        (("a", 1, 2), False),
        ((1, 1), False),
        (("missing", 1), False),
        (("c", {"x": 1}), True),
        (("b", (1, 2)), False),
        ("a", False),
    ],
)
def test_items_membership(doc, pair, expected):
    assert (pair in doc["t"].items()) is expected


def test_items_membership_with_a_tuple_subclass():
    class Pair(tuple):
        pass

    assert Pair(("a", 1)) in Document.parse("a = 1").items()


# ---- equality ----


@pytest.mark.parametrize(
    "other, expected",
    [
        ({"a", "b", "c", "sub"}, True),
        (frozenset({"a", "b", "c", "sub"}), True),
        ({"a", "b"}, False),
        (["a", "b", "c", "sub"], False),
        (("a", "b", "c", "sub"), False),
        ({"a": 1, "b": 2, "c": 3, "sub": 4}, False),
    ],
)
def test_keys_equality(doc, other, expected):
    k = doc["t"].keys()
    assert (k == other) is expected
    assert (k != other) is not expected
    assert (other == k) is expected


def test_keys_views_of_equal_tables_are_equal(doc):
    other = Document.parse("[t]\nsub = 0\nc = 0\nb = 0\na = 0\n")
    assert doc["t"].keys() == other["t"].keys()


@pytest.mark.parametrize("op", ["<", "<=", ">", ">="])
@pytest.mark.parametrize("kind", ["keys", "items"])
def test_views_have_no_ordering(doc, op, kind):
    view = views_of(doc["t"])[kind]
    with pytest.raises(TypeError):
        eval(f"view {op} set()")


@pytest.mark.parametrize(
    "other, expected",
    [
        ({("a", 1), ("b", 2)}, True),
        (frozenset({("a", 1), ("b", 2)}), True),
        ({("a", 1), ("b", 3)}, False),
        ({("a", 1)}, False),
        ({("a", 1), ("b", 2), ("c", 3)}, False),
        ([("a", 1), ("b", 2)], False),
        ({"a": 1, "b": 2}, False),
    ],
)
def test_items_equality(other, expected):
    items = Document.parse("a = 1\nb = 2\n").items()
    assert (items == other) is expected
    assert (items != other) is not expected


def test_items_equality_with_an_abc_set():
    class PairSet(collections.abc.Set):
        def __init__(self, pairs):
            self.pairs = list(pairs)

        def __contains__(self, x):
            return x in self.pairs

        def __iter__(self):
            return iter(self.pairs)

        def __len__(self):
            return len(self.pairs)

    items = Document.parse("a = 1\nd = 1979-05-27\n").items()
    assert items == PairSet([("a", 1), ("d", dt.date(1979, 5, 27))])
    assert items != PairSet([("a", 1), ("d", dt.date(1979, 5, 28))])


def test_values_compare_by_identity(doc):
    v = doc["t"].values()
    assert v == v
    assert v != doc["t"].values()
    assert hash(v) == hash(v)


@pytest.mark.parametrize("kind", ["keys", "items"])
def test_keys_and_items_views_are_unhashable(doc, kind):
    with pytest.raises(TypeError):
        hash(views_of(doc)[kind])


# ---- set operators ----


@pytest.mark.parametrize(
    "op, other, expected",
    [
        ("|", {"z"}, {"a", "b", "c", "sub", "z"}),
        ("|", ["z", 1], {"a", "b", "c", "sub", "z", 1}),
        ("|", frozenset({"a"}), {"a", "b", "c", "sub"}),
        ("^", {"a", "z"}, {"b", "c", "sub", "z"}),
        ("^", ("a", 2), {"b", "c", "sub", 2}),
        ("&", ["a", 1, "zz"], {"a"}),
        ("&", {"a": 1, "sub": 2}, {"a", "sub"}),
        ("&", [], set()),
        ("-", ["a", 1], {"b", "c", "sub"}),
        ("-", "ab", {"c", "sub"}),
    ],
)
def test_keys_set_operators(doc, op, other, expected):
    result = eval(f"k {op} other", {"k": doc["t"].keys(), "other": other})
    assert type(result) is set
    assert result == expected


def test_keys_intersection_reads_string_items():
    doc = Document.parse("a = 1\nb = 2\n")
    key = Document.parse('k = "b"')["k"]
    assert doc.keys() & [key] == {"b"}
    assert type(next(iter(doc.keys() & [key]))) is str


def test_keys_union_uses_the_plain_set_operator():
    class Loud(set):
        def __ror__(self, other):
            raise AssertionError("not asked")

    result = Document.parse("a = 1").keys() | Loud({"b"})
    assert type(result) is set and result == {"a", "b"}


@pytest.mark.parametrize("op", ["|", "^", "&", "-"])
def test_keys_set_operators_need_the_view_on_the_left(doc, op):
    k = doc.keys()
    with pytest.raises(TypeError, match="unsupported operand"):
        eval(f"{{'z'}} {op} k")


@pytest.mark.parametrize("op", ["|", "^", "&", "-"])
def test_keys_set_operators_raise_errors_of_the_other_operand(doc, op):
    def broken():
        yield "a"
        raise LookupError("broken")

    with pytest.raises(LookupError):
        eval(f"k {op} broken()", {"k": doc.keys(), "broken": broken})


def test_views_inside_an_array_of_tables_follow_the_positions_that_moved():
    doc = Document.parse("[[p]]\nx = 1\n[[p]]\ny = 2\n[[p]]\nz = 3\n")
    first, middle, last = (doc["p"][i].keys() for i in range(3))
    del doc["p"][2]  # only the removed last position is recorded
    assert list(first) == ["x"] and list(middle) == ["y"]
    with pytest.raises(RuntimeError, match=STALE):
        len(last)
    del doc["p"][0]  # every position from 0 on moved
    for view in (first, middle):
        with pytest.raises(RuntimeError, match=STALE):
            len(view)
