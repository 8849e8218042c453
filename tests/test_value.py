import datetime as dt
import math

import pytest

from quillon import Document

try:
    import tomllib
except ImportError:  # Python before 3.11
    tomllib = None

UTC = dt.timezone.utc


def only(text):
    """The value of the single key `v` of a one-line document."""
    return Document.parse("v = " + text + "\n").value["v"]


@pytest.mark.parametrize(
    "text, expected",
    [
        ('"hello"', "hello"),
        ("'C:\\temp'", "C:\\temp"),
        ('"tab\\there"', "tab\there"),
        ('"\\u00e9\\U0001F600"', "\u00e9\U0001F600"),
        ('"caf\u00e9"', "caf\u00e9"),
        ('""', ""),
        ('"""\nline one\nline two"""', "line one\nline two"),
        ('"""a \\\n    b"""', "a b"),
        ("'''raw\\n'''", "raw\\n"),
    ],
)
def test_strings_are_decoded_text(text, expected):
    value = only(text)
    assert type(value) is str
    assert value == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("0x10", 16),
        ("0xdead_BEEF", 0xDEADBEEF),
        ("0o17", 15),
        ("0b101", 5),
        ("1_000", 1000),
        ("+42", 42),
        ("-0", 0),
        ("9223372036854775807", 2**63 - 1),
        ("-9223372036854775808", -(2**63)),
    ],
)
def test_integers_forget_their_notation(text, expected):
    value = only(text)
    assert type(value) is int
    assert value == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("1e3", 1000.0),
        ("3.14", 3.14),
        ("-2.5E-3", -0.0025),
        ("6.626e-34", 6.626e-34),
        ("1_000.000_1", 1000.0001),
        ("inf", math.inf),
        ("+inf", math.inf),
        ("-inf", -math.inf),
    ],
)
def test_floats(text, expected):
    value = only(text)
    assert type(value) is float
    assert value == expected


@pytest.mark.parametrize("text, sign", [("nan", 1.0), ("+nan", 1.0), ("-nan", -1.0)])
def test_nan_keeps_its_sign(text, sign):
    value = only(text)
    assert math.isnan(value)
    assert math.copysign(1.0, value) == sign


def test_negative_zero_float_keeps_its_sign():
    assert math.copysign(1.0, only("-0.0")) == -1.0


@pytest.mark.parametrize("text, expected", [("true", True), ("false", False)])
def test_booleans_are_the_singletons(text, expected):
    assert only(text) is expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("1979-05-27T07:32:00Z", dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)),
        ("1979-05-27T07:32:00z", dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)),
        ("1979-05-27T07:32:00+00:00", dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)),
        (
            "1979-05-27T00:32:00.999999-07:00",
            dt.datetime(1979, 5, 27, 0, 32, 0, 999999, tzinfo=dt.timezone(dt.timedelta(hours=-7))),
        ),
        (
            "1979-05-27 00:32:00+05:30",
            dt.datetime(1979, 5, 27, 0, 32, tzinfo=dt.timezone(dt.timedelta(hours=5, minutes=30))),
        ),
        ("1979-05-27T07:32:00", dt.datetime(1979, 5, 27, 7, 32)),
        ("1979-05-27t07:32:00.5", dt.datetime(1979, 5, 27, 7, 32, 0, 500000)),
        ("1979-05-27T07:32", dt.datetime(1979, 5, 27, 7, 32)),
        ("1979-05-27", dt.date(1979, 5, 27)),
        ("07:32:00", dt.time(7, 32)),
        ("07:32", dt.time(7, 32)),
        ("00:00:00.123456789", dt.time(0, 0, 0, 123456)),
        ("23:59:59.9999999", dt.time(23, 59, 59, 999999)),
        ("12:00:00.1", dt.time(12, 0, 0, 100000)),
    ],
)
def test_datetimes(text, expected):
    value = only(text)
    assert type(value) is type(expected)
    assert value == expected
    if isinstance(expected, (dt.datetime, dt.time)):
        assert value.tzinfo == expected.tzinfo
        assert value.microsecond == expected.microsecond


@pytest.mark.parametrize("text", ["1979-05-27T07:32:00Z", "1979-05-27T07:32:00+00:00"])
def test_zero_offset_is_the_utc_singleton(text):
    assert only(text).tzinfo is UTC


def test_offset_datetime_tz_is_fixed_offset():
    value = only("2000-01-01T00:00:00-01:30")
    assert isinstance(value.tzinfo, dt.timezone)
    assert value.utcoffset() == dt.timedelta(hours=-1, minutes=-30)


@pytest.mark.parametrize(
    "text",
    ["0000-01-01", "0000-01-01T00:00:00", "0000-01-01T00:00:00Z", "23:59:60", "1990-12-31T23:59:60Z"],
)
def test_values_python_rejects_raise_the_interpreters_value_error(text):
    doc = Document.parse("v = " + text + "\n")
    with pytest.raises(ValueError):
        doc.value
    # the document itself is intact
    assert doc.as_toml() == "v = " + text + "\n"


@pytest.mark.parametrize(
    "text, expected",
    [
        ("a = [1, 'two', 3.0, true]", {"a": [1, "two", 3.0, True]}),
        ("a = []", {"a": []}),
        ("a = [[1, 2], [3]]", {"a": [[1, 2], [3]]}),
        ("a = [{x = 1}, {y = [2]}]", {"a": [{"x": 1}, {"y": [2]}]}),
        ("a = {}", {"a": {}}),
        ("a = {b = {c = 1}, d = 'e'}", {"a": {"b": {"c": 1}, "d": "e"}}),
        ("a.b.c = 1\na.d = 2", {"a": {"b": {"c": 1}, "d": 2}}),
        ('"a.b" = 1\n\'q k\' = 2', {"a.b": 1, "q k": 2}),
        ("[t]\nx = 1\n[t.sub]\ny = 2", {"t": {"x": 1, "sub": {"y": 2}}}),
        ("[a.b]\nx = 1\n[a]\ny = 2", {"a": {"b": {"x": 1}, "y": 2}}),
        ("[[p]]\nn = 1\n[[p]]\n[[p]]\nn = 3", {"p": [{"n": 1}, {}, {"n": 3}]}),
        ("[[p]]\n[p.q]\nr = 1\n[[p.s]]\nt = 2", {"p": [{"q": {"r": 1}, "s": [{"t": 2}]}]}),
    ],
)
def test_structures(text, expected):
    assert Document.parse(text).value == expected


def test_nested_types_are_plain_builtins():
    value = Document.parse("a = [{x = [1]}]\n[t]\n[[aot]]\n").value
    assert type(value) is dict
    assert type(value["a"]) is list
    assert type(value["a"][0]) is dict
    assert type(value["a"][0]["x"]) is list
    assert type(value["t"]) is dict
    assert type(value["aot"]) is list and type(value["aot"][0]) is dict


def test_key_order_follows_the_document():
    text = "z = 1\na = 2\nm = {y = 1, b = 2}\n[c]\n[b]\n"
    value = Document.parse(text).value
    assert list(value) == ["z", "a", "m", "c", "b"]
    assert list(value["m"]) == ["y", "b"]


def test_result_is_independent_of_the_document():
    doc = Document.parse("a = [1, 2]\n[t]\nx = {y = 1}\n")
    first = doc.value
    first["a"].append(3)
    first["t"]["x"]["y"] = 99
    first["new"] = 1
    assert doc.value == {"a": [1, 2], "t": {"x": {"y": 1}}}
    assert doc.as_toml() == "a = [1, 2]\n[t]\nx = {y = 1}\n"
    second = doc.value
    assert second is not first
    assert second["a"] is not first["a"]


TOMLLIB_CASES = [
    "title = 'x'\n[owner]\nname = \"Tom\"\ndob = 1979-05-27T07:32:00-08:00\n",
    "[database]\nports = [ 8000, 8001, 8002 ]\ndata = [ [\"delta\", \"phi\"], [3.14] ]\n"
    "temp_targets = { cpu = 79.5, case = 72.0 }\n",
    "[[fruits]]\nname = 'apple'\n[fruits.physical]\ncolor = 'red'\n[[fruits.varieties]]\nname = 'x'\n"
    "[[fruits]]\nname = 'banana'\n",
    "ld = 1979-05-27\nlt = 00:32:00.999999\nldt = 1979-05-27T00:32:00.999999\n"
    "odt = 1979-05-27T00:32:00Z\n",
    "# comment\nint = +99 # trailing\nflt = 5e+22\nhex = 0xDEADBEEF\nbin = 0b11010110\n",
    'str = "The quick brown \\"fox\\"\\n"\nraw = \'\'\'\nI [dw]on\'t need \\d{2} apples\'\'\'\n',
]


@pytest.mark.skipif(tomllib is None, reason="tomllib needs Python 3.11")
@pytest.mark.parametrize("text", TOMLLIB_CASES)
def test_agrees_with_the_standard_library(text):
    assert Document.parse(text).value == tomllib.loads(text)


def test_empty_document_value():
    assert Document.parse("").value == {}
    assert Document().value == {}
