"""Conversion of Python objects into TOML entries and values."""

import collections.abc
import datetime as dt
import math
import tomllib

import pytest

from quillon import DictItem, Document



def defines(cls, name):
    """Whether the class itself (not `type` or `object`) provides `name`."""
    return any(name in vars(k) for k in cls.__mro__ if k is not object)


needs_setitem = pytest.mark.skipif(not defines(Document, "__setitem__"), reason="no Document item assignment")
needs_getitem = pytest.mark.skipif(not defines(Document, "__getitem__"), reason="no Document subscription")
needs_update = pytest.mark.skipif(not defines(Document, "update"), reason="no Document.update")
needs_item_setitem = pytest.mark.skipif(not defines(DictItem, "__setitem__"), reason="no DictItem assignment")
needs_dict_items = pytest.mark.skipif(not defines(DictItem, "items"), reason="no DictItem.items")
needs_or = pytest.mark.skipif(not defines(Document, "__or__"), reason="no Document merge operator")

UTC = dt.timezone.utc


def tz(**kw):
    return dt.timezone(dt.timedelta(**kw))


class Mapping(collections.abc.Mapping):
    """A mapping that is not a dict; its pairs come from items()."""

    def __init__(self, pairs):
        self.pairs = list(pairs)

    def __getitem__(self, key):
        for k, v in self.pairs:
            if k == key:
                return v
        raise KeyError(key)

    def __len__(self):
        return len(self.pairs)

    def __iter__(self):
        return iter([k for k, _ in self.pairs])

    def items(self):
        return list(self.pairs)


class TriplesMapping(Mapping):
    def items(self):
        return [("a", 1, 2)]


class DictWithOtherItems(dict):
    def items(self):
        return [("other", 1)]


class MyStr(str):
    pass


class MyInt(int):
    pass


class MyFloat(float):
    pass


class MyDatetime(dt.datetime):
    pass


class NaiveTzinfo(dt.tzinfo):
    def utcoffset(self, _):
        return None


class FailingTzinfo(dt.tzinfo):
    def utcoffset(self, _):
        raise ZeroDivisionError("offset lookup failed")


def render(value):
    return Document({"x": value}).as_toml()


# ---- scalars ----


@pytest.mark.parametrize(
    "value, line, parsed",
    [
        (True, "x = true", True),
        (False, "x = false", False),
        (1, "x = 1", 1),
        (-(2**63), "x = -9223372036854775808", -(2**63)),
        (2**63 - 1, "x = 9223372036854775807", 2**63 - 1),
        (MyInt(7), "x = 7", 7),
        (1.0, "x = 1.0", 1.0),
        (MyFloat(0.5), "x = 0.5", 0.5),
        (-0.0, "x = -0.0", -0.0),
        (float("inf"), "x = inf", float("inf")),
        ("hello", 'x = "hello"', "hello"),
        (MyStr("sub"), 'x = "sub"', "sub"),
        ("é ✓", 'x = "é ✓"', "é ✓"),
    ],
)
def test_scalar_becomes_its_toml_kind(value, line, parsed):
    text = render(value)
    assert text == line + "\n"
    result = tomllib.loads(text)["x"]
    assert type(result) is type(parsed) and result == parsed


def test_nan_stays_nan():
    text = render(float("nan"))
    assert text == "x = nan\n"
    assert math.isnan(tomllib.loads(text)["x"])


def test_bool_is_never_an_integer():
    assert render([True, 1]) == "x = [true, 1]\n"


@pytest.mark.parametrize(
    "value, literal",
    [
        (dt.datetime(2024, 1, 2, 3, 4, 5), "2024-01-02T03:04:05"),
        (dt.datetime(2024, 1, 2, 3, 4, 0), "2024-01-02T03:04:00"),
        (dt.datetime(2024, 1, 2, 3, 4, 5, 120), "2024-01-02T03:04:05.00012"),
        (dt.datetime(2024, 1, 2, 3, 4, 5, 999999), "2024-01-02T03:04:05.999999"),
        (dt.datetime(2024, 1, 2, 3, 4, 5, tzinfo=UTC), "2024-01-02T03:04:05+00:00"),
        (dt.datetime(2024, 1, 2, 3, 4, 5, tzinfo=tz(hours=-5)), "2024-01-02T03:04:05-05:00"),
        (dt.datetime(2024, 1, 2, 3, 4, 5, tzinfo=NaiveTzinfo()), "2024-01-02T03:04:05"),
        (MyDatetime(2001, 2, 3, 4, 5, 6), "2001-02-03T04:05:06"),
        (dt.date(2024, 2, 29), "2024-02-29"),
        (dt.time(1, 2), "01:02:00"),
        (dt.time(1, 2, 3, 500000), "01:02:03.5"),
        (dt.time(1, 2, tzinfo=NaiveTzinfo()), "01:02:00"),
    ],
)
def test_date_and_time_fields(value, literal):
    assert render(value) == f"x = {literal}\n"


@pytest.mark.parametrize(
    "offset", [dt.timedelta(seconds=-30), dt.timedelta(hours=5, minutes=30, seconds=45), dt.timedelta(microseconds=1)]
)
def test_offsets_that_are_not_whole_minutes_are_refused(offset):
    doc = Document({"x": 1})
    with pytest.raises(ValueError, match="UTC offset not representable in TOML: must be a whole number of minutes"):
        doc["x"] = dt.datetime(2024, 1, 2, 3, 4, 5, tzinfo=dt.timezone(offset))
    assert doc.as_toml() == "x = 1\n"


# ---- tables, arrays and arrays of tables ----


@pytest.mark.parametrize(
    "value, text",
    [
        ({"a": 1}, "[x]\na = 1\n"),
        ({}, "[x]\n"),
        ({"a": {"b": 1}}, "[x]\n\n[x.a]\nb = 1\n"),
        ([{"a": 1}], "[[x]]\na = 1\n"),
        (({"a": 1}, {"a": 2}), "[[x]]\na = 1\n\n[[x]]\na = 2\n"),
        ([{"a": {"b": 1}}], "[[x]]\n\n[x.a]\nb = 1\n"),
        ([{"a": [{"b": 1}]}], "[[x]]\n\n[[x.a]]\nb = 1\n"),
        ([{"a": 1}, 2], "x = [{ a = 1 }, 2]\n"),
        ([[{"a": 1}]], "x = [[{ a = 1 }]]\n"),
        ([[{"a": [{"b": 1}]}]], "x = [[{ a = [{ b = 1 }] }]]\n"),
        ([], "x = []\n"),
        ((), "x = []\n"),
        ([1, "a", [2, 3.5]], 'x = [1, "a", [2, 3.5]]\n'),
        ((1, (2,)), "x = [1, [2]]\n"),
        ([{}], "[[x]]\n"),
        ([{"a": {}}, 1], "x = [{ a = {} }, 1]\n"),
    ],
)
def test_structure_follows_the_level_of_the_mapping(value, text):
    assert render(value) == text


@pytest.mark.parametrize(
    "value, text",
    [
        (Mapping([("a", 1)]), "[x]\na = 1\n"),
        ([Mapping([("a", 1)])], "[[x]]\na = 1\n"),
        ([Mapping([("a", 1)]), 1], "x = [{ a = 1 }, 1]\n"),
        (DictWithOtherItems(a=1), "[x]\na = 1\n"),
        ([DictWithOtherItems(a=1), 1], "x = [{ a = 1 }, 1]\n"),
    ],
)
def test_mappings_other_than_dict(value, text):
    assert render(value) == text


def test_entries_keep_the_order_of_the_mapping():
    data = {"z": 1, "a": 2, "m": {"q": 3, "b": 4}}
    assert Document(data).as_toml() == "z = 1\na = 2\n\n[m]\nq = 3\nb = 4\n"


def test_repeated_key_keeps_first_position_and_last_value():
    doc = Document(Mapping([("a", 1), ("b", 2), ("a", 3)]))
    assert doc.as_toml() == "a = 3\nb = 2\n"


def test_converted_document_round_trips_through_tomllib():
    data = {
        "title": "T",
        "n": [1, 2, 3],
        "owner": {"name": "N", "dob": dt.datetime(1979, 5, 27, 7, 32, tzinfo=tz(hours=-8))},
        "servers": [{"ip": "10.0.0.1"}, {"ip": "10.0.0.2", "tags": ["a", "b"]}],
        "points": [{"x": 1}, {"y": [1, {"z": 2}]}, 3],
    }
    assert tomllib.loads(Document(data).as_toml()) == data


# ---- errors ----

NULL = "None is not a valid TOML value (TOML has no null type)"


def cannot(name):
    return f"Could not convert object of type '{name}' to TOML value"


CONVERSION_ERRORS = [
    (None, TypeError, NULL),
    ([None], TypeError, cannot("NoneType")),
    ({"a": None}, TypeError, NULL),
    ([{"a": None}], TypeError, cannot("NoneType")),
    ([1, [None]], TypeError, cannot("NoneType")),
    ({1: "a"}, TypeError, "keys must be strings"),
    ([{1: "a"}], TypeError, "keys must be strings"),
    ({"t": {(1, 2): "a"}}, TypeError, "keys must be strings"),
    (set(), TypeError, cannot("set")),
    (b"x", TypeError, cannot("bytes")),
    ((i for i in ()), TypeError, cannot("generator")),
    (range(3), TypeError, cannot("range")),
    (object(), TypeError, cannot("object")),
    ([1, 2j], TypeError, cannot("complex")),
    (dt.time(1, 2, tzinfo=UTC), TypeError, "TOML local times cannot have timezone information"),
    (dt.time(1, 2, tzinfo=tz(hours=3)), TypeError, "TOML local times cannot have timezone information"),
    (TriplesMapping([]), ValueError, "expected a length-2 iterable pair"),
    ([TriplesMapping([])], ValueError, "expected a length-2 iterable pair"),
    (2**63, OverflowError, None),
    (-(2**63) - 1, OverflowError, None),
    ([2**64], OverflowError, None),
    ("\ud800", UnicodeEncodeError, None),
    (dt.datetime(2024, 1, 1, tzinfo=FailingTzinfo()), ZeroDivisionError, "offset lookup failed"),
    (dt.time(1, 2, tzinfo=FailingTzinfo()), ZeroDivisionError, "offset lookup failed"),
]


@needs_setitem
@pytest.mark.parametrize("value, exc, message", CONVERSION_ERRORS)
def test_assignment_conversion_errors(value, exc, message):
    doc = Document.parse("a = 1\n")
    with pytest.raises(exc) as info:
        doc["x"] = value
    if exc is TypeError:
        # Document assignment names the parameter and chains the original.
        assert str(info.value) == f"argument 'value': {message}"
        assert str(info.value.__cause__) == message
    elif message is not None:
        assert str(info.value) == message
    assert doc.as_toml() == "a = 1\n"


@needs_getitem
@needs_item_setitem
@pytest.mark.parametrize("value, exc, message", CONVERSION_ERRORS)
def test_table_item_assignment_reports_the_bare_message(value, exc, message):
    doc = Document.parse("[t]\na = 1\n")
    with pytest.raises(exc) as info:
        doc["t"]["x"] = value
    if message is not None:
        assert str(info.value) == message
    assert doc.as_toml() == "[t]\na = 1\n"


@pytest.mark.parametrize(
    "data",
    [5, "text", [("a", 1)], [{"a": 1}], {"a": None}, {1: 2}, {"a": [None]}, TriplesMapping([])],
)
def test_document_constructor_hides_the_conversion_error(data):
    with pytest.raises(TypeError) as info:
        Document(data)
    assert str(info.value) == "Document() argument must be a mapping or None"


class RaisingLen(Mapping):
    def __len__(self):
        raise LookupError("len failed")


class RaisingItems(Mapping):
    def items(self):
        raise LookupError("items failed")


@needs_getitem
@needs_item_setitem
@pytest.mark.parametrize(
    "value, message", [(RaisingLen([("a", 1)]), "len failed"), (RaisingItems([("a", 1)]), "items failed")]
)
def test_errors_of_the_mapping_itself_propagate(value, message):
    doc = Document.parse("[t]\n")
    with pytest.raises(LookupError, match=message):
        doc["t"]["x"] = value


@needs_setitem
@pytest.mark.parametrize("offset", [dt.timedelta(days=2), dt.timedelta(days=-2)])
def test_offset_beyond_a_day_is_refused(offset):
    # A datetime subclass may report any offset; TOML offsets stay below 24 hours.
    class Wide(dt.datetime):
        def utcoffset(self):
            return offset

    doc = Document()
    with pytest.raises(ValueError):
        doc["x"] = Wide(2024, 1, 1)
    assert doc.as_toml() == ""


# ---- Items and Documents as values ----

SOURCE = "[t]\nx = 1  # one\n"


@needs_getitem
@needs_setitem
def test_item_is_copied_with_its_formatting():
    doc = Document.parse(SOURCE)
    doc["copy"] = doc["t"]
    assert doc.as_toml() == SOURCE + "\n[copy]\nx = 1  # one\n"


@needs_dict_items
@needs_getitem
@needs_setitem
@pytest.mark.parametrize(
    "make, value, copies",
    [
        (lambda d: {"inner": d["t"]}, {"inner": {"x": 1}}, 1),
        (lambda d: [d["t"]], [{"x": 1}], 1),
        (lambda d: [d["t"], d["t"]], [{"x": 1}, {"x": 1}], 2),
        (lambda d: [{"a": d["t"]}], [{"a": {"x": 1}}], 1),
    ],
)
def test_item_inside_a_table_is_copied(make, value, copies):
    doc = Document.parse(SOURCE)
    doc["copy"] = make(doc)
    text = doc.as_toml()
    assert tomllib.loads(text) == {"t": {"x": 1}, "copy": value}
    # The copied value keeps its end-of-line comment.
    assert text.count("x = 1  # one") == 1 + copies


@needs_getitem
@needs_setitem
@needs_item_setitem
def test_copied_item_is_independent():
    doc = Document.parse("[t]\nx = 1\n")
    doc["u"] = doc["t"]
    doc["t"]["x"] = 5
    doc["u"]["y"] = 2
    assert doc.value == {"t": {"x": 5}, "u": {"x": 1, "y": 2}}


@needs_dict_items
@needs_getitem
@needs_setitem
def test_scalar_item_inside_a_list_is_refused():
    doc = Document.parse("[t]\nx = 1\n")
    with pytest.raises(TypeError) as info:
        doc["arr"] = [doc["t"], 1]
    assert str(info.value.__cause__) == cannot("ScalarItem")


@needs_dict_items
@needs_getitem
@needs_setitem
def test_table_item_inside_an_inline_value_becomes_inline_table():
    doc = Document.parse("[t]\nx = 1\n[e]\n")
    doc["arr"] = [doc["e"], 1]
    assert tomllib.loads(doc.as_toml())["arr"] == [{}, 1]


@needs_setitem
def test_document_is_copied_with_its_comments():
    source = Document.parse("# top\na = 1  # note\n")
    doc = Document.parse("b = 2\n")
    doc["d"] = source
    text = doc.as_toml()
    assert "# top" in text and "a = 1  # note" in text
    assert tomllib.loads(text) == {"b": 2, "d": {"a": 1}}
    source["a"] = 3
    assert tomllib.loads(doc.as_toml())["d"] == {"a": 1}


@needs_setitem
def test_copied_document_tables_follow_their_new_parent():
    source = Document.parse("a = 1\n\n[t]\nx = 1\n\n[u]\ny = 2\n")
    doc = Document.parse("[z]\nq = 1\n\n[w]\nr = 2\n")
    doc["d"] = source
    text = doc.as_toml()
    assert text.startswith("[z]\nq = 1\n\n[w]\nr = 2\n")
    assert text.index("[w]") < text.index("[d]") < text.index("[d.t]") < text.index("[d.u]")
    assert tomllib.loads(text)["d"] == {"a": 1, "t": {"x": 1}, "u": {"y": 2}}


@needs_getitem
@needs_setitem
def test_stale_item_cannot_be_assigned():
    doc = Document.parse("a = 1\nb = 2\n")
    old = doc["a"]
    doc["a"] = 5
    with pytest.raises(RuntimeError, match="stale"):
        doc["b"] = old


@needs_getitem
def test_string_item_serves_as_a_key():
    doc = Document.parse('k = "name"\n')
    built = Document(Mapping([(doc["k"], 1)]))
    assert built.as_toml() == "name = 1\n"


@needs_getitem
def test_non_string_item_is_not_a_key():
    doc = Document.parse("k = 1\n")
    with pytest.raises(TypeError, match="Document"):
        Document(Mapping([(doc["k"], 1)]))


# ---- update arguments ----


@needs_update
@pytest.mark.parametrize(
    "other, expected",
    [
        ({"b": 2}, {"a": 1, "b": 2}),
        (DictWithOtherItems(b=2), {"a": 1, "b": 2}),
        (Mapping([("b", 2), ("a", 3)]), {"a": 3, "b": 2}),
        ([("b", 2), ["c", {"d": 1}]], {"a": 1, "b": 2, "c": {"d": 1}}),
        ((pair for pair in [("b", [1])]), {"a": 1, "b": [1]}),
        ([("b", 1), ("b", 2)], {"a": 1, "b": 2}),
        ([], {"a": 1}),
    ],
)
def test_update_accepts_mappings_and_pairs(other, expected):
    doc = Document.parse("a = 1\n")
    doc.update(other)
    assert doc.value == expected


@needs_update
@pytest.mark.parametrize(
    "other, exc, message",
    [
        ([("a", 1, 2)], ValueError, "expected a length-2 iterable pair"),
        ([("a",)], ValueError, "expected a length-2 iterable pair"),
        (["abc"], ValueError, "expected a length-2 iterable pair"),
        ([(1, 2)], TypeError, "keys must be strings"),
        ({1: 2}, TypeError, "keys must be strings"),
        (TriplesMapping([]), ValueError, "expected a length-2 iterable pair"),
        ([("b", 2), ("c", None)], TypeError, NULL),
        (5, TypeError, None),
    ],
)
def test_update_argument_errors_leave_the_document_unchanged(other, exc, message):
    doc = Document.parse("a = 1\n")
    with pytest.raises(exc) as info:
        doc.update(other)
    if message is not None:
        assert str(info.value) == message
    assert doc.as_toml() == "a = 1\n"


@needs_update
@pytest.mark.parametrize(
    "mutate, message",
    [
        (lambda d: d.__setitem__("zz", 1), "dictionary changed size during iteration"),
        (lambda d: (d.pop("a"), d.__setitem__("q", 2)), "dictionary keys changed during iteration"),
    ],
)
def test_update_from_a_dict_changed_while_read(mutate, message):
    data = {}

    class Meddling(dt.datetime):
        def utcoffset(self):
            mutate(data)
            return None

    data["a"] = 1
    data["b"] = Meddling(2020, 1, 1)
    doc = Document.parse("x = 1\n")
    with pytest.raises(RuntimeError, match=message):
        doc.update(data)
    assert doc.as_toml() == "x = 1\n"


@needs_update
def test_update_keyword_conversion_failure_leaves_document_unchanged():
    doc = Document.parse("a = 1\n")
    with pytest.raises(TypeError):
        doc.update({"a": 2}, b=None)
    assert doc.as_toml() == "a = 1\n"


@needs_getitem
@needs_update
def test_update_from_another_document_and_its_items():
    other = Document.parse("# about b\nb = 2\n[t]\nc = 3\n")
    doc = Document.parse("a = 1\n")
    doc.update(other["t"])
    doc.update(other)
    assert doc.value == {"a": 1, "c": 3, "b": 2, "t": {"c": 3}}
    assert "# about b" in doc.as_toml()


@needs_getitem
@needs_update
def test_update_from_own_item():
    doc = Document.parse("a = 1\n[t]\na = 5\nb = 2\n")
    doc.update(doc["t"])
    assert doc.value == {"a": 5, "t": {"a": 5, "b": 2}, "b": 2}


@needs_getitem
@needs_update
def test_update_from_stale_item_is_refused():
    other = Document.parse("[t]\nc = 3\n")
    ref = other["t"]
    other["t"] = {"c": 4}
    doc = Document.parse("a = 1\n")
    with pytest.raises(RuntimeError, match="stale"):
        doc.update(ref)
    assert doc.as_toml() == "a = 1\n"


# ---- merge operators ----


@needs_or
@pytest.mark.parametrize(
    "other, expected",
    [
        ({"x": 1, "a": 2}, {"a": 2, "x": 1}),
        (Mapping([("x", [1])]), {"a": 1, "x": [1]}),
        (Document.parse("y = 2\n"), {"a": 1, "y": 2}),
    ],
)
def test_document_or_mapping(other, expected):
    doc = Document.parse("a = 1\n")
    merged = doc | other
    assert isinstance(merged, Document)
    assert merged.value == expected
    assert doc.value == {"a": 1}


@needs_or
@pytest.mark.parametrize(
    "other, expected",
    [
        ({"x": 1, "a": 2}, {"x": 1, "a": 1}),
        ({1: "one"}, {1: "one", "a": 1}),
        (Mapping([("x", [1])]), {"x": [1], "a": 1}),
    ],
)
def test_mapping_or_document_gives_a_plain_dict(other, expected):
    merged = other | Document.parse("a = 1\n")
    assert type(merged) is dict and merged == expected


@needs_or
@needs_getitem
def test_string_item_keys_become_plain_strings_in_reflected_merge():
    doc = Document.parse('k = "name"\n')
    merged = Mapping([(doc["k"], 1)]) | Document.parse("a = 1\n")
    assert merged == {"name": 1, "a": 1}
    assert all(type(k) is str for k in merged)


class ClasslessObject:
    """An object whose isinstance tests against ABCs raise."""

    @property
    def __class__(self):
        raise RuntimeError("no class")


def test_failing_mapping_test_is_reported_as_unraisable(monkeypatch):
    reported = []
    monkeypatch.setattr("sys.unraisablehook", lambda info: reported.append(info.exc_type))
    with pytest.raises(TypeError, match="Document\\(\\) argument must be a mapping or None"):
        Document({"x": ClasslessObject()})
    assert reported and set(reported) == {RuntimeError}


def self_containing_list():
    items = [1]
    items.append(items)
    return items


def self_containing_dict():
    data = {"a": 1}
    data["b"] = data
    return data


def deeply_nested_list():
    value = 1
    for _ in range(100_000):
        value = [value]
    return value


@pytest.mark.parametrize("make", [self_containing_list, self_containing_dict, deeply_nested_list])
def test_unbounded_nesting_fails_cleanly(make):
    with pytest.raises(TypeError, match="Document\\(\\) argument must be a mapping or None"):
        Document({"x": make()})


@needs_setitem
@pytest.mark.parametrize("make", [self_containing_list, self_containing_dict, deeply_nested_list])
def test_unbounded_nesting_raises_value_error(make):
    doc = Document()
    with pytest.raises(ValueError, match="nesting too deep: a TOML document holds at most 80 levels"):
        doc["x"] = make()
    assert doc.as_toml() == ""
