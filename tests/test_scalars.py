"""Decoding of scalar values and keys, their error messages, and date-time display."""
import datetime as dt
import math
import tomllib

import pytest

from quillon import Document

UTC = dt.timezone.utc


def tz(minutes):
    return dt.timezone(dt.timedelta(minutes=minutes))


def value_of(text):
    return Document.parse("k = " + text + "\n").value["k"]


def message_of(document):
    """Last line of the parse error report: the composed message."""
    with pytest.raises(ValueError) as info:
        Document.parse(document)
    report = str(info.value)
    assert report.endswith("\n")
    return report[:-1].rsplit("\n", 1)[-1]


def same_float(a, b):
    if math.isnan(b):
        return math.isnan(a) and math.copysign(1.0, a) == math.copysign(1.0, b)
    return a == b and math.copysign(1.0, a) == math.copysign(1.0, b)


@pytest.mark.parametrize(
    "text, expected",
    [
        ('"plain text"', "plain text"),
        ('""', ""),
        ('"tab\there"', "tab\there"),
        (r'"\b\t\n\f\r\"\\"', '\b\t\n\f\r"\\'),
        (r'"\e[0m"', "\x1b[0m"),
        (r'"\x41\x7e\x00"', "A~\x00"),
        (r'"caf\u00e9"', "café"),
        (r'"\U0001F600!"', "\U0001f600!"),
        (r'"\u0041\U00000042"', "AB"),
        ('"ключ ✓"', "ключ ✓"),
        (r"'C:\Users\nobody'", r"C:\Users\nobody"),
        ("''", ""),
        ("'\"quoted\" inside'", '"quoted" inside'),
    ],
)
def test_single_line_strings(text, expected):
    assert value_of(text) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ('"""\nfirst\nsecond"""', "first\nsecond"),
        ('"""\r\nfirst\r\nsecond"""', "first\nsecond"),
        ('"""no leading break"""', "no leading break"),
        ('"""one \\\n    two"""', "one two"),
        ('"""a\\   \n\n  \t b"""', "ab"),
        ('"""a\\\r\n  b"""', "ab"),
        ('""""quoted""""', '"quoted"'),
        ('"""x"""""', 'x""'),
        ('"""a\\"""b"""', 'a"""b'),
        ('"""tab\\there\\e"""', "tab\there\x1b"),
        ("'''\nraw \\n text\n'''", "raw \\n text\n"),
        ("'''keep \\\n  this'''", "keep \\\n  this"),
        ("''''x'''''", "'x''"),
    ],
)
def test_multi_line_strings(text, expected):
    assert value_of(text) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("0", 0),
        ("-0", 0),
        ("+17", 17),
        ("-17", -17),
        ("1_000_000", 1000000),
        ("0x1F", 31),
        ("0xdead_BEEF", 0xDEADBEEF),
        ("0o17", 15),
        ("0o7_5_5", 0o755),
        ("0b101", 5),
        ("0b1111_0000", 240),
        ("9223372036854775807", 2**63 - 1),
        ("-9223372036854775808", -(2**63)),
        ("0x7FFFFFFFFFFFFFFF", 2**63 - 1),
    ],
)
def test_integers(text, expected):
    v = value_of(text)
    assert type(v) is int and v == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("1.5", 1.5),
        ("+1.5", 1.5),
        ("-0.0", -0.0),
        ("0.0", 0.0),
        ("1e5", 100000.0),
        ("1E-2", 0.01),
        ("6.02e+23", 6.02e23),
        ("1_000.000_1", 1000.0001),
        ("0e1", 0.0),
        ("3.141592653589793", math.pi),
        ("1e-400", 0.0),
        ("inf", math.inf),
        ("+inf", math.inf),
        ("-inf", -math.inf),
        ("nan", math.nan),
        ("+nan", math.nan),
        ("-nan", -math.nan),
    ],
)
def test_floats(text, expected):
    v = value_of(text)
    assert type(v) is float
    assert same_float(v, expected)


@pytest.mark.parametrize("text, expected", [("true", True), ("false", False)])
def test_booleans(text, expected):
    assert value_of(text) is expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("1979-05-27T07:32:00Z", dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)),
        ("1979-05-27t07:32:00z", dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)),
        ("1979-05-27 07:32:00Z", dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)),
        ("1979-05-27T00:32:00.999999-07:00", dt.datetime(1979, 5, 27, 0, 32, 0, 999999, tzinfo=tz(-420))),
        ("1979-05-27T07:32:00+05:30", dt.datetime(1979, 5, 27, 7, 32, tzinfo=tz(330))),
        ("1979-05-27T07:32:00-00:00", dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC)),
        ("1979-05-27T07:32:00", dt.datetime(1979, 5, 27, 7, 32)),
        ("1979-05-27T07:32", dt.datetime(1979, 5, 27, 7, 32)),
        ("1979-05-27", dt.date(1979, 5, 27)),
        ("2024-02-29", dt.date(2024, 2, 29)),
        ("2000-02-29", dt.date(2000, 2, 29)),
        ("07:32:00", dt.time(7, 32)),
        ("07:32", dt.time(7, 32)),
        ("00:32:00.5", dt.time(0, 32, 0, 500000)),
        # digits past the microsecond (and past the nanosecond) are cut, not rounded
        ("00:32:00.999999999999", dt.time(0, 32, 0, 999999)),
        ("23:59:59.1234567", dt.time(23, 59, 59, 123456)),
    ],
)
def test_datetimes(text, expected):
    v = value_of(text)
    assert type(v) is type(expected)
    assert v == expected
    if isinstance(expected, (dt.datetime, dt.time)):
        assert v.utcoffset() == expected.utcoffset()


@pytest.mark.parametrize(
    "text",
    [
        '"a\\tb\\u00e9\\U0001F600"',
        "'''\nx\n'''",
        '"""\n  a \\\n  b"""',
        "0xff",
        "0o777",
        "-1_234",
        "1e-7",
        "-1.5E+3",
        "-inf",
        "1987-07-05T17:45:00.123Z",
        "1979-05-27 07:32:00",
        "07:32:00.25",
    ],
)
def test_values_agree_with_the_standard_library(text):
    doc = "k = " + text + "\n"
    ours = Document.parse(doc).value["k"]
    reference = tomllib.loads(doc)["k"]
    assert type(ours) is type(reference)
    if isinstance(reference, float):
        assert same_float(ours, reference)
    else:
        assert ours == reference


@pytest.mark.parametrize(
    "text, key",
    [
        ('"a\\tb" = 1', "a\tb"),
        ("'a\\tb' = 1", "a\\tb"),
        ("bare-Key_09 = 1", "bare-Key_09"),
        ('"" = 1', ""),
        ('"\\u00e9t\\xe9" = 1', "été"),
    ],
)
def test_key_parts_are_decoded(text, key):
    assert list(Document.parse(text + "\n").value) == [key]


STRING_ERRORS = [
    (r'"\q"', "missing escaped value, expected `b`, `e`, `f`, `n`, `r`, `t`, `\\`, `\"`, `x`, `u`, `U`"),
    (r'"\ "', "missing escaped value, expected `b`, `e`, `f`, `n`, `r`, `t`, `\\`, `\"`, `x`, `u`, `U`"),
    (r'"\uD800"', "invalid value, expected unicode hexadecimal value"),
    (r'"\U00110000"', "invalid value, expected unicode hexadecimal value"),
    (r'"\x4"', "too few unicode value digits, expected unicode hexadecimal value"),
    (r'"\u12g4"', "too few unicode value digits, expected unicode hexadecimal value"),
    ('"open', 'invalid basic string, expected `"`'),
    ('"ends with escaped quote\\"', 'invalid basic string, expected `"`'),
    ('"bell\x07"', "invalid basic string, expected non-double-quote visible characters, `\\`"),
    ('"del\x7f"', "invalid basic string, expected non-double-quote visible characters, `\\`"),
    ("'open", "invalid literal string, expected `'`"),
    ("'bell\x07'", "invalid literal string, expected non-single-quote visible characters"),
    ('"""never closed', 'invalid multi-line basic string, expected `"`'),
    ("'''never closed", "invalid multi-line literal string, expected `'`"),
    ('"""a\x01"""', "invalid multi-line basic string, expected `\\`, characters"),
    ("'''a\x01'''", "invalid multi-line literal string, expected non-single-quote characters"),
    ('"""a\rb"""', "carriage return must be followed by newline, expected newline"),
    ("'''a\rb'''", "carriage return must be followed by newline, expected newline"),
    # the unclosed delimiter wins over a bad escape before it
    ('"bad \\q and open', 'invalid basic string, expected `"`'),
]

NUMBER_ERRORS = [
    ("0X1F", "radix must be lowercase, expected `0x`"),
    ("0O17", "radix must be lowercase, expected `0o`"),
    ("0B1", "radix must be lowercase, expected `0b`"),
    ("-0x1", "integers with a radix cannot be signed"),
    ("+0b1", "integers with a radix cannot be signed"),
    ("0d10", "redundant integer number prefix"),
    ("0x+1", "unexpected sign"),
    ("0xg1", "invalid hexadecimal number"),
    ("0x", "invalid hexadecimal number"),
    ("0o9", "invalid octal number"),
    ("0b102", "invalid binary number"),
    ("012", "unexpected leading zero, expected nothing"),
    ("-012", "unexpected leading zero, expected nothing"),
    ("00.5", "unexpected leading zero, expected nothing"),
    ("1__2", "`_` may only go between digits, expected nothing"),
    ("1_", "`_` may only go between digits, expected nothing"),
    ("+_1", "`_` may only go between digits, expected nothing"),
    ("0x_1", "`_` may only go between digits, expected nothing"),
    ("1_.5", "`_` may only go between digits, expected nothing"),
    ("1.5_e3", "`_` may only go between digits, expected nothing"),
    ("9223372036854775808", "integer number overflowed"),
    ("-9223372036854775809", "integer number overflowed"),
    ("0x8000000000000000", "integer number overflowed"),
    ("1e400", "floating-point number overflowed"),
    ("-1.8e308", "floating-point number overflowed"),
    ("1.e2", "invalid fraction, expected digits"),
    ("1.", "invalid fraction, expected digits"),
    ("1e", "invalid exponent, expected digits"),
    ("1e+", "invalid exponent, expected digits"),
    ("-.5", "invalid mantissa, expected digits"),
    ("1.5x", "invalid float, expected nothing"),
    ("1.5.3", "invalid float, expected nothing"),
    ("++1", "redundant numeric sign"),
    ("-+1.5", "redundant numeric sign"),
]

WORD_ERRORS = [
    ("True", "invalid boolean, expected `true`"),
    ("tru", "invalid boolean, expected `true`"),
    ("FALSE", "invalid boolean, expected `false`"),
    ("Inf", "invalid float, expected `inf`"),
    ("infinity", "invalid float, expected `inf`"),
    ("NaN", "invalid float, expected `nan`"),
    ("hello", "string values must be quoted, expected literal string"),
    ('ab"c', "string values must be quoted, expected literal string"),
    ("true love", "string values must be quoted, expected literal string"),
    ("1 2", "string values must be quoted, expected literal string"),
    ("+", "string values must be quoted, expected literal string"),
    ("-Inf", "string values must be quoted, expected literal string"),
    ("", "string values must be quoted, expected literal string"),
    ("abc'", "missing opening quote, expected `'`"),
    ('abc"', 'missing opening quote, expected `"`'),
    ("abc'''", "missing opening quote, expected `'''`"),
    ('abc"""', 'missing opening quote, expected `"""`'),
]

DATETIME_ERRORS = [
    ("2023-02-29", "invalid date, expected day between 01 and 28"),
    ("1900-02-29", "invalid date, expected day between 01 and 28"),
    ("2024-02-30", "invalid date, expected day between 01 and 29"),
    ("1979-04-31", "invalid date, expected day between 01 and 30"),
    ("1979-05-32", "invalid date, expected day between 01 and 31"),
    ("1979-05-00", "invalid date, expected day between 01 and 31"),
    ("1979-13-01", "invalid date, expected month between 01 and 12"),
    ("1979-00-01", "invalid date, expected month between 01 and 12"),
    ("79-05-27", "invalid date, expected a four-digit year (YYYY)"),
    ("1979-5-27", "invalid date, expected a two-digit month (MM)"),
    ("1979-05-7", "invalid date, expected a two-digit day (DD)"),
    ("1979-05", "invalid date, expected `-` (MM-DD)"),
    ("1979-05-27x", "invalid date-time, expected `T` between date and time"),
    ("24:00:00", "invalid time, expected hour between 00 and 23"),
    ("07:60:00", "invalid time, expected minute between 00 and 59"),
    ("07:32:61", "invalid time, expected second between 00 and 60"),
    ("7:32:00", "invalid time, expected a two-digit hour (HH)"),
    ("07:3", "invalid time, expected a two-digit minute (MM)"),
    ("07:32:0", "invalid time, expected a two-digit second (SS)"),
    ("07:32:00.", "invalid time, expected nanosecond"),
    ("1979-05-27T", "invalid time, expected hour"),
    ("1979-05-27T07:32.5", "invalid offset, expected `Z`, +OFFSET, -OFFSET"),
    ("1979-05-27T07:32:00+24:00", "invalid offset, expected hours between 00 and 23"),
    ("1979-05-27T07:32:00+05:60", "invalid offset, expected minutes between 00 and 59"),
    ("1979-05-27T07:32:00+05", "invalid offset, expected `:` (HH:MM)"),
    ("1979-05-27T07:32:00+5:00", "invalid offset, expected a two-digit hour (HH)"),
    ("1979-05-27T07:32:00Zjunk", "invalid datetime"),
]


@pytest.mark.parametrize(
    "text, message", STRING_ERRORS + NUMBER_ERRORS + WORD_ERRORS + DATETIME_ERRORS
)
def test_value_error_messages(text, message):
    assert message_of("k = " + text + "\n") == message


@pytest.mark.parametrize(
    "document, message",
    [
        ('"""k""" = 1\n', "keys cannot be multi-line basic strings, expected basic string, literal string"),
        ("'''k''' = 1\n", "keys cannot be multi-line literal strings, expected basic string, literal string"),
        ("a+b = 1\n", "invalid unquoted key, expected letters, numbers, `-`, `_`"),
        ("ké = 1\n", "invalid unquoted key, expected letters, numbers, `-`, `_`"),
        ('"\\q" = 1\n', "missing escaped value, expected `b`, `e`, `f`, `n`, `r`, `t`, `\\`, `\"`, `x`, `u`, `U`"),
        ('[a."b\\e\\x"]\n', "too few unicode value digits, expected unicode hexadecimal value"),
    ],
)
def test_key_error_messages(document, message):
    assert message_of(document) == message


@pytest.mark.parametrize(
    "document, line, column",
    [
        ("k = 012\n", 1, 5),  # at the leading zero
        ('k = "a\\qb"\n', 1, 7),  # at the backslash of the bad escape
        ("a = 1\nk = 1__2\n", 2, 6),  # at the misplaced underscore
        ('k = "abc\n', 1, 9),  # where the closing quote is missing
        ("k = 0X1F\n", 1, 5),
        ("k = 1.e2\n", 1, 7),  # where the fraction digits should start
        ("k = hello world\n", 1, 5),
    ],
)
def test_error_positions(document, line, column):
    with pytest.raises(ValueError) as info:
        Document.parse(document)
    heading = str(info.value).split("\n", 1)[0]
    assert heading == f"TOML parse error at line {line}, column {column}"


def test_first_decoding_error_in_the_text_wins():
    assert message_of("a = 012\nb = 0X1\n") == "unexpected leading zero, expected nothing"


@pytest.mark.parametrize(
    "text",
    [
        "1979-05-27T07:32:00Z",
        "1979-05-27t07:32:00z",
        "1979-05-27 07:32:00",
        "1979-05-27T00:32:00.999999999-07:00",
        "07:32",
        "07:32:00.500",
        "0001-01-01",
        "0x00FF",
        "1_000",
        "+1e+05",
        "-nan",
        "'lit'",
        '"\\u00e9"',
    ],
)
def test_scalar_spelling_survives_a_round_trip(text):
    doc = "k = " + text + "  # note\n"
    assert Document.parse(doc).as_toml() == doc


@pytest.mark.parametrize(
    "value, rendered",
    [
        (dt.datetime(1979, 5, 27, 7, 32, tzinfo=UTC), "1979-05-27T07:32:00+00:00"),
        (dt.datetime(1979, 5, 27, 0, 32, 0, 999999, tzinfo=tz(-420)), "1979-05-27T00:32:00.999999-07:00"),
        (dt.datetime(1979, 5, 27, 7, 32, tzinfo=tz(330)), "1979-05-27T07:32:00+05:30"),
        (dt.datetime(1979, 5, 27, 7, 32, 5, 120000), "1979-05-27T07:32:05.12"),
        (dt.date(5, 1, 9), "0005-01-09"),
        (dt.time(7, 32), "07:32:00"),
        (dt.time(7, 32, 0, 500000), "07:32:00.5"),
        (dt.time(23, 59, 59, 1), "23:59:59.000001"),
    ],
)
def test_new_datetimes_render_in_display_form(value, rendered):
    assert Document({"k": value}).as_toml() == "k = " + rendered + "\n"


@pytest.mark.parametrize(
    "source, rendered",
    [
        ("1979-05-27t07:32:00z", "1979-05-27T07:32:00+00:00"),
        ("1979-05-27 07:32:00", "1979-05-27T07:32:00"),
        ("1979-05-27T07:32:00-00:00", "1979-05-27T07:32:00+00:00"),
        ("00:32:00.999999999999", "00:32:00.999999"),
        ("07:32", "07:32:00"),
        ("2000-02-29", "2000-02-29"),
    ],
)
def test_parsed_datetime_rewritten_from_its_value(source, rendered):
    value = Document.parse("k = " + source + "\n").value
    assert Document(value).as_toml() == "k = " + rendered + "\n"
