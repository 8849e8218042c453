"""Equality by content between documents, Items and plain Python objects."""

import collections.abc
import datetime as dt
import decimal
import fractions

import pytest

from quillon import Document, Item


def defines(cls, name):
    """Whether the class itself (not `type` or `object`) provides `name`."""
    return any(name in vars(k) for k in cls.__mro__ if k is not object)


needs_doc_eq = pytest.mark.skipif(not defines(Document, "__eq__"), reason="no Document equality")
needs_getitem = pytest.mark.skipif(not defines(Document, "__getitem__"), reason="no Document subscription")
needs_item_eq = pytest.mark.skipif(not defines(Item, "__eq__"), reason="no Item equality")
needs_setitem = pytest.mark.skipif(not defines(Document, "__setitem__"), reason="no Document assignment")

UTC = dt.timezone.utc


def tz(**kw):
    return dt.timezone(dt.timedelta(**kw))


class Mapping(collections.abc.Mapping):
    def __init__(self, data):
        self.data = dict(data)

    def __getitem__(self, key):
        return self.data[key]

    def __len__(self):
        return len(self.data)

    def __iter__(self):
        return iter(self.data)


class FailingLookup(Mapping):
    def __getitem__(self, key):
        raise ValueError("lookup failed")


class FailingLen(Mapping):
    def __len__(self):
        raise LookupError("len failed")


class EqRaises:
    def __eq__(self, other):
        raise ArithmeticError("eq failed")

    __hash__ = None


class ListSub(list):
    pass


# ---- document against document ----


@needs_doc_eq
@pytest.mark.parametrize(
    "left, right, equal",
    [
        # formatting, comments and order never matter
        ("a = 1\nb = 2\n", "b=2\n# note\na=1\n", True),
        ("a = 1  # x\n", "a   =   1\n", True),
        ('s = "a"', "s = 'a'", True),
        ('s = "\\u0041"', "s = 'A'", True),
        ('"key" = 1', "key = 1", True),
        ("a = 1", "b = 1", False),
        ("a = 1", "a = 1\nb = 2", False),
        # tables against inline tables, arrays of tables against arrays
        ("[t]\nx = 1", "t = {x = 1}", True),
        ("t = {x = 1}", "[t]\nx = 1", True),
        ("[t]\nx = 1", "t = {x = 2}", False),
        ("[t]\nx = 1", "t = {x = 1, y = 2}", False),
        ("[t]\nx.y = 1", "t = {x = {y = 1}}", True),
        ("[t.x]\ny = 1", "t = {x = {y = 1}}", True),
        ("[t.x]\ny = 1", "[t]\nx = {y = 1}", True),
        ("[[t.p]]\nq = 1", "t = {p = [{q = 1}]}", True),
        ("[[p]]\nx = 1", "p = [{x = 1}]", True),
        ("p = [{x = 1}]", "[[p]]\nx = 1", True),
        ("[[p]]\n[[p]]", "p = [{}, {}]", True),
        ("[[p]]\nx = 1", "p = [{x = 1}, {x = 1}]", False),
        ("[[p]]\nx = 1", "p = [1]", False),
        ("[[p]]\nx = 1\n[[p]]\nx = 2", "[[p]]\nx = 2\n[[p]]\nx = 1", False),
        ("[t]", "t = []", False),
        ("[t]", "t = 1", False),
        ("[[p]]", "[p]", False),
        # scalars by decoded value and variant
        ("x = 0x10", "x = 16", True),
        ("x = 1_000", "x = 1000", True),
        ("x = 1", "x = 1.0", False),
        ("x = 1e3", "x = 1000.0", True),
        ("x = 0.0", "x = -0.0", True),
        ("x = nan", "x = nan", False),
        ("x = inf", "x = +inf", True),
        ("x = true", "x = 1", False),
        ("x = true", "x = true", True),
        ("x = '1'", "x = 1", False),
        # date-times by fields, with absent parts counted as zero
        ("t = 07:32", "t = 07:32:00", True),
        ("t = 07:32:00", "t = 07:32:00.0", True),
        ("t = 07:32:00.5", "t = 07:32:00.500", True),
        ("t = 07:32:00.5", "t = 07:32:00", False),
        ("t = 1979-05-27T07:32:00Z", "t = 1979-05-27T07:32:00+00:00", True),
        ("t = 1979-05-27T07:32:00", "t = 1979-05-27T07:32:00Z", False),
        ("t = 1979-05-27T00:32:00-07:00", "t = 1979-05-27T07:32:00Z", False),
        ("t = 1979-05-27", "t = 1979-05-27T00:00:00", False),
        ("t = 1979-05-27", "t = 1979-05-28", False),
        ("t = 1979-05-27 07:32:00", "t = 1979-05-27T07:32:00", True),
        # arrays in order, inline tables in any order
        ("a = [1, [2, {x = 1}]]", "a = [ 1 , [2,{ x=1 }], ]", True),
        ("a = [1]", "a = [1, 2]", False),
        ("a = [1, 2]", "a = [2, 1]", False),
        ("a = []", "a = []", True),
        ("a = {x = 1, y = 2}", "a = {y = 2, x = 1}", True),
        ("a = {x = 1}", "a = {x = 1, y = 2}", False),
        ("a = {x.y = 1}", "a = {x = {y = 1}}", True),
    ],
)
def test_document_equals_document_by_content(left, right, equal):
    assert (Document.parse(left) == Document.parse(right)) is equal
    assert (Document.parse(right) == Document.parse(left)) is equal
    assert (Document.parse(left) != Document.parse(right)) is not equal


@needs_doc_eq
def test_empty_documents_are_equal():
    assert Document() == Document.parse("# only a comment\n")


# ---- document against Python objects ----

NAN = float("nan")


@needs_doc_eq
@pytest.mark.parametrize(
    "text, other, equal",
    [
        ("a = 1\nb = 2\n", {"b": 2, "a": 1}, True),
        ("a = 1\nb = 2\n", {"a": 1}, False),
        ("a = 1\nb = 2\n", {"a": 1, "c": 2}, False),
        ("a = 1\nb = 2\n", {"a": 1, "b": 3}, False),
        ("a = 1", Mapping({"a": 1}), True),
        ("a = 1", [("a", 1)], False),
        ("a = 1", "a = 1", False),
        ("", {}, True),
        ("[t]\nx = [1, {y = 2}]", {"t": {"x": [1, {"y": 2}]}}, True),
        ("[t]\nx = [1, {y = 2}]", {"t": {"x": [1, {"y": 3}]}}, False),
        ("[t]\nx = 1", {"t": Mapping({"x": 1})}, True),
        ("[[p]]\nx = 1\n[[p]]\nx = 2", {"p": [{"x": 1}, {"x": 2}]}, True),
        ("[[p]]\nx = 1", {"p": ListSub([{"x": 1}])}, True),
        ("[[p]]\nx = 1", {"p": ({"x": 1},)}, False),
        ("[[p]]\nx = 1", {"p": [{"x": 1}, {"x": 1}]}, False),
        ("[[p]]\nx = 1", {"p": {"x": 1}}, False),
        # integers
        ("x = 0x10", {"x": 16}, True),
        ("x = 1", {"x": 1.0}, True),
        ("x = 1", {"x": fractions.Fraction(1)}, True),
        ("x = 1", {"x": decimal.Decimal(1)}, True),
        ("x = 1", {"x": 2**70}, False),
        ("x = 1", {"x": True}, False),
        ("x = 0", {"x": False}, False),
        ("x = 1", {"x": "1"}, False),
        # floats
        ("x = 1.0", {"x": 1}, True),
        ("x = 1.5", {"x": fractions.Fraction(3, 2)}, True),
        ("x = 1.0", {"x": True}, False),
        ("x = nan", {"x": NAN}, False),
        ("x = -0.0", {"x": 0.0}, True),
        ("x = inf", {"x": float("inf")}, True),
        # booleans
        ("b = false", {"b": False}, True),
        ("b = true", {"b": True}, True),
        ("b = true", {"b": 1}, False),
        ("b = false", {"b": 0}, False),
        # strings
        ("s = 'abc'", {"s": "abc"}, True),
        ("s = 'abc'", {"s": b"abc"}, False),
        ("s = 'ab'", {"s": "ab\ud800"}, False),
        ("s = 'é'", {"s": "é"}, True),
        # arrays only against lists
        ("a = [1, 2]", {"a": [1, 2]}, True),
        ("a = [1, 2]", {"a": ListSub([1, 2])}, True),
        ("a = [1, 2]", {"a": (1, 2)}, False),
        ("a = [1, 2]", {"a": [1, 2, 3]}, False),
        ("a = [1, [2.5, 'x']]", {"a": [1, [2.5, "x"]]}, True),
        # inline tables against mappings
        ("t = {a = 1}", {"t": {"a": 1}}, True),
        ("t = {a = 1}", {"t": Mapping({"a": 1})}, True),
        ("t = {a = 1}", {"t": {"a": 1, "b": 2}}, False),
        ("t = {a = 1}", {"t": [("a", 1)]}, False),
        # date-times
        ("t = 07:32:00", {"t": dt.time(7, 32)}, True),
        ("t = 07:32", {"t": dt.time(7, 32)}, True),
        ("t = 07:32:00.5", {"t": dt.time(7, 32, 0, 500000)}, True),
        ("t = 07:32:00.123456789", {"t": dt.time(7, 32, 0, 123456)}, False),
        ("t = 07:32:00", {"t": dt.time(7, 32, tzinfo=UTC)}, False),
        ("t = 07:32:00", {"t": dt.datetime(1979, 5, 27, 7, 32)}, False),
        ("t = 07:32:00", {"t": "07:32:00"}, False),
        ("d = 1979-05-27T07:32:00.123456789", {"d": dt.datetime(1979, 5, 27, 7, 32, 0, 123456)}, True),
        ("d = 1979-05-27T07:32:00", {"d": dt.datetime(1979, 5, 27, 7, 32)}, True),
        ("d = 1979-05-27T07:32:00", {"d": dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)}, False),
        ("d = 1979-05-27T07:32:00Z", {"d": dt.datetime(1979, 5, 27, 7, 32)}, False),
        ("d = 1979-05-27T07:32:00Z", {"d": dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)}, True),
        ("d = 1979-05-27T07:32:00Z", {"d": dt.datetime(1979, 5, 27, 9, 32, tzinfo=tz(hours=2))}, True),
        ("d = 1979-05-27T07:32:00-07:00", {"d": dt.datetime(1979, 5, 27, 14, 32, tzinfo=UTC)}, True),
        ("d = 1979-05-27T07:32:00", {"d": dt.date(1979, 5, 27)}, False),
        ("d = 1979-05-27", {"d": dt.date(1979, 5, 27)}, True),
        ("d = 1979-05-27", {"d": dt.date(1979, 5, 28)}, False),
        ("d = 1979-05-27", {"d": dt.datetime(1979, 5, 27)}, False),
        ("d = 1979-05-27", {"d": "1979-05-27"}, False),
        ("d = 0000-01-01", {"d": dt.date(1, 1, 1)}, False),
    ],
)
def test_document_equals_python_object(text, other, equal):
    assert (Document.parse(text) == other) is equal
    assert (Document.parse(text) != other) is not equal


@needs_doc_eq
def test_failing_lookup_makes_the_comparison_false():
    assert (Document.parse("x = 1") == FailingLookup({"x": 1})) is False
    assert (Document.parse("t = {x = 1}") == {"t": FailingLookup({"x": 1})}) is False


@needs_doc_eq
@pytest.mark.parametrize(
    "text, other, exc",
    [
        ("x = 1", FailingLen({"x": 1}), LookupError),
        ("t = {x = 1}", {"t": FailingLen({"x": 1})}, LookupError),
        ("x = 1", {"x": EqRaises()}, ArithmeticError),
        ("x = 1.5", {"x": EqRaises()}, ArithmeticError),
        ("d = 0000-01-01T00:00:00", {"d": dt.datetime(1, 1, 1)}, ValueError),
    ],
)
def test_errors_of_the_python_side_propagate(text, other, exc):
    with pytest.raises(exc):
        Document.parse(text) == other


# ---- Items ----


@needs_getitem
@needs_item_eq
@pytest.mark.parametrize(
    "text, key, other, equal",
    [
        ("x = 1", "x", 1, True),
        ("x = 1", "x", 1.0, True),
        ("x = 1", "x", True, False),
        ("x = true", "x", 1, False),
        ("x = true", "x", True, True),
        ("a = [1, 2]", "a", [1, 2], True),
        ("a = [1, 2]", "a", (1, 2), False),
        ("[t]\nx = 1", "t", {"x": 1}, True),
        ("[t]\nx = 1", "t", {"x": 2}, False),
        ("[[p]]\nx = 1", "p", [{"x": 1}], True),
        ("[[p]]\nx = 1", "p", ({"x": 1},), False),
        ("t = 07:32:00", "t", dt.time(7, 32), True),
        ("d = 1979-05-27", "d", dt.date(1979, 5, 27), True),
    ],
)
def test_item_equals_python_object(text, key, other, equal):
    item = Document.parse(text)[key]
    assert (item == other) is equal


@needs_getitem
@needs_item_eq
@pytest.mark.parametrize(
    "left, right, equal",
    [
        ("[t]\nx = 1", "t = {x = 1}", True),
        ("t = {x = 1}", "[t]\nx = 1", True),
        ("[[t]]\nx = 1", "t = [{x = 1}]", True),
        ("t = [{x = 1}]", "[[t]]\nx = 1", True),
        ("t = 1", "t = 1.0", False),
        ("t = 0x10", "t = 16", True),
        ("t = [1]", "[t]", False),
        ("t = {}", "[[t]]", False),
        ("t = [{}]", "[[t]]", True),
    ],
)
def test_item_equals_item_of_another_document(left, right, equal):
    a = Document.parse(left)["t"]
    b = Document.parse(right)["t"]
    assert (a == b) is equal
    assert (b == a) is equal


@needs_getitem
@needs_item_eq
def test_nan_item_equals_nothing_not_even_itself():
    item = Document.parse("x = nan")["x"]
    assert (item == item) is False
    assert (item == float("nan")) is False


@needs_getitem
@needs_doc_eq
@pytest.mark.parametrize(
    "text, other, key, equal",
    [
        ("x = 1", "t = {x = 1}", "t", True),
        ("x = 1", "[t]\nx = 1", "t", True),
        ("x = 1", "t = {x = 2}", "t", False),
        ("x = 1", "t = [1]", "t", False),
    ],
)
def test_document_equals_table_item(text, other, key, equal):
    assert (Document.parse(text) == Document.parse(other)[key]) is equal


@needs_getitem
@needs_doc_eq
def test_document_compares_with_items_found_in_a_mapping():
    other = Document.parse("a = 0x1\n[t]\nb = 'x'\n")
    assert Document.parse("a = 1\nt = {b = \"x\"}") == {"a": other["a"], "t": other["t"]}
    assert Document.parse("a = 2\nt = {b = \"x\"}") != {"a": other["a"], "t": other["t"]}


@needs_getitem
@needs_setitem
@needs_doc_eq
def test_stale_item_on_the_other_side_raises():
    doc = Document.parse("a = 1\n[t]\nx = 1\n")
    ref = doc["t"]
    doc["t"] = {"x": 2}
    with pytest.raises(RuntimeError, match="stale: the document has been modified"):
        Document.parse("x = 1") == ref
    with pytest.raises(RuntimeError, match="stale: the document has been modified"):
        Document.parse("t = {x = 1}") == {"t": ref}


# ---- tables, views and references of the same document ----


@needs_getitem
@needs_item_eq
@pytest.mark.parametrize(
    "text, path, other, equal",
    [
        ("[t]\nx = 1\n[t.s]\ny = [1, {z = 2}]", ("t",), {"x": 1, "s": {"y": [1, {"z": 2}]}}, True),
        ("[t]\nx = 1\n[t.s]\ny = [1, {z = 2}]", ("t",), {"x": 1, "s": {"y": [1, {"z": 3}]}}, False),
        ("[t]\nx = 1", ("t",), Mapping({"x": 1.0}), True),
        ("[t]\nx = 1", ("t",), Document.parse("x = 1"), True),
        ("[t]\nx = 1", ("t",), Document.parse("x = 1.0"), False),
        ("t = {x = {y = 1}}", ("t",), {"x": Mapping({"y": 1})}, True),
        ("t = {x = [1, 2]}", ("t",), {"x": ListSub([1, 2])}, True),
        ("t = {x = [1, 2]}", ("t",), {"x": (1, 2)}, False),
        ("[[p]]\nx = 1\n[[p]]\nx = 2", ("p",), [Mapping({"x": 1}), {"x": 2}], True),
        ("[[p]]\nx = 1", ("p",), [Mapping({"x": 1}), {}], False),
        ("a = [{x = 1}, {x = [true]}]", ("a",), [{"x": 1}, {"x": [True]}], True),
        ("a = [{x = 1}, {x = [true]}]", ("a",), [{"x": 1}, {"x": [1]}], False),
        ("a = [[]]", ("a",), [[]], True),
        ("a = [[]]", ("a",), [()], False),
    ],
)
def test_nested_items_equal_python_objects(text, path, other, equal):
    item = Document.parse(text)
    for key in path:
        item = item[key]
    assert (item == other) is equal
    assert (item != other) is not equal


@needs_getitem
@needs_item_eq
def test_items_of_the_same_document_compare_by_content():
    doc = Document.parse("[a]\nx = 1\n[b]\nx = 0x1\n[c]\nx = 1.0\n")
    assert doc["a"] == doc["b"]
    assert doc["a"] != doc["c"]
    assert doc["a"]["x"] == doc["b"]["x"]
    assert doc == {"a": doc["b"], "b": doc["a"], "c": {"x": 1}}


@needs_getitem
@needs_item_eq
def test_stale_item_on_either_side_raises():
    doc = Document.parse("[a]\nx = 1\n[b]\nx = 1\n")
    a = doc["a"]
    b = doc["b"]
    doc["a"] = {"x": 1}
    with pytest.raises(RuntimeError, match="stale: the document has been modified"):
        a == b
    with pytest.raises(RuntimeError, match="stale: the document has been modified"):
        b == a
    with pytest.raises(RuntimeError, match="stale: the document has been modified"):
        b == {"x": a}
