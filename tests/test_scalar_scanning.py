"""Scalars, comments and strings read the same whatever their length and
wherever the interesting byte falls (the scanners look at several bytes at a
time); the standard library's reader is the reference for values."""
import datetime
import gc
import random
import re
import tomllib

import pytest

from quillon import Document

# Every offset of an interesting byte within and across eight-byte words and
# sixteen-byte blocks.
OFFSETS = range(0, 35)


def value(text):
    return Document.parse(text).value


@pytest.mark.parametrize("offset", OFFSETS)
@pytest.mark.parametrize(
    "special",
    ['\\"', "\\\\", "\\n", "\\t", "\\u00e9", "\\U0001F600", "é", "日本", "😀", "'", "#", "\t"],
)
def test_basic_string_with_one_special_spelling(offset, special):
    text = f's = "{"x" * offset}{special}{"y" * (17 - offset % 5)}"\n'
    assert value(text) == tomllib.loads(text)


@pytest.mark.parametrize("offset", OFFSETS)
@pytest.mark.parametrize("quote", ["'", "'''"])
def test_literal_strings(offset, quote):
    body = "a" * offset + '\\"#' + "b" * 9
    text = f"s = {quote}{body}{quote}\n"
    assert value(text) == tomllib.loads(text) == {"s": body}


@pytest.mark.parametrize("offset", OFFSETS)
@pytest.mark.parametrize("quote", ['"""', "'''"])
def test_multiline_strings_with_quote_runs(offset, quote):
    q = quote[0]
    body = "\n" + "m" * offset + q + q + "n" * 5 + "\n" + q + "z"
    text = f"s = {quote}{body}{quote}\n"
    assert value(text) == tomllib.loads(text)


@pytest.mark.parametrize("offset", OFFSETS)
@pytest.mark.parametrize("control", ["\x00", "\x01", "\x08", "\x1f", "\x7f"])
def test_control_character_in_comment_is_reported_where_it_stands(offset, control):
    line = "a = 1 # " + "c" * offset + control + "tail"
    column = len("a = 1 # ") + offset + 1
    with pytest.raises(ValueError, match=rf"at line 1, column {column}\n") as err:
        Document.parse(line + "\n")
    assert "invalid comment character" in str(err.value)


@pytest.mark.parametrize("offset", OFFSETS)
def test_tabs_and_non_ascii_are_fine_in_comments(offset):
    text = "a = 1 # " + "c" * offset + "\t€😀\t" + "d" * offset + "\nb = 2\n"
    doc = Document.parse(text)
    assert doc.as_toml() == text
    assert doc.value == {"a": 1, "b": 2}


@pytest.mark.parametrize("offset", OFFSETS)
@pytest.mark.parametrize("control", ["\x01", "\x1f", "\x7f"])
def test_control_character_in_string_is_reported_where_it_stands(offset, control):
    prefix = 's = "'
    line = prefix + "v" * offset + control + '"'
    with pytest.raises(ValueError, match=rf"at line 1, column {len(prefix) + offset + 1}\n"):
        Document.parse(line + "\n")


# Bytes on both sides of each range of bare-key bytes, and beyond ASCII.
NOT_BARE = ["/", ":", "@", "`", "~", "+", "!", "\x7f", "é"]


@pytest.mark.parametrize("offset", OFFSETS)
def test_unquoted_keys_of_bare_bytes_read_as_written(offset):
    key = ("AZaz09_-" * 5)[:offset] + "z" + "-_90zaZA" * 2
    assert value(f"{key} = 1\n{key[:offset + 1]}.x = 2\n") == {key: 1, key[: offset + 1]: {"x": 2}}


@pytest.mark.parametrize("offset", OFFSETS)
@pytest.mark.parametrize("odd", NOT_BARE)
def test_other_byte_in_unquoted_key_is_reported_where_it_stands(offset, odd):
    line = "k" * offset + odd + "k" * 20 + " = 1"
    with pytest.raises(ValueError, match=rf"at line 2, column {offset + 1}\n") as err:
        Document.parse(f"a = 1\n{line}\n")
    assert "invalid unquoted key" in str(err.value)


@pytest.mark.parametrize(
    "text",
    [
        "1979-05-27",
        "2000-02-29",
        "2024-12-31",
        "07:32:00",
        "07:32:00.5",
        "07:32:00.123456789",
        "07:32:00.1234567891234",
        "1979-05-27T07:32:00",
        "1979-05-27t07:32:00",
        "1979-05-27 07:32:00",
        "1979-05-27T07:32:00Z",
        "1979-05-27T07:32:00z",
        "1979-05-27T07:32:00.999999-07:00",
        "1979-05-27T07:32:00+23:59",
        "1979-05-27T00:32:00.000001+00:00",
    ],
)
def test_datetimes_match_the_standard_library(text):
    doc = f"d = {text}\n"
    assert value(doc) == tomllib.loads(doc)
    assert Document.parse(doc).as_toml() == doc


@pytest.mark.parametrize(
    "text, expected",
    [
        ("00:00", datetime.time(0, 0)),
        ("23:59", datetime.time(23, 59)),
        ("1979-05-27T07:32", datetime.datetime(1979, 5, 27, 7, 32)),
        ("1979-05-27 07:32Z", datetime.datetime(1979, 5, 27, 7, 32, tzinfo=datetime.timezone.utc)),
    ],
)
def test_datetimes_without_seconds(text, expected):
    assert value(f"d = {text}\n") == {"d": expected}


@pytest.mark.parametrize(
    "text, message",
    [
        ("2023-02-29", "invalid date, expected day between 01 and 28"),
        ("2024-04-31", "invalid date, expected day between 01 and 30"),
        ("2024-13-01", "invalid date, expected month between 01 and 12"),
        ("2024-00-10", "invalid date, expected month between 01 and 12"),
        ("2024-01-00", "invalid date, expected day between 01 and 31"),
        ("24:00:00", "invalid time, expected hour between 00 and 23"),
        ("23:60:00", "invalid time, expected minute between 00 and 59"),
        ("23:59:61", "invalid time, expected second between 00 and 60"),
        ("1979-05-27T07:32:00+24:00", "invalid offset, expected hours between 00 and 23"),
        ("1979-05-27T07:32:00+01:60", "invalid offset, expected minutes between 00 and 59"),
        ("1979-5-27", "invalid date, expected a two-digit month (MM)"),
        ("1979-05-27T7:32:00", "invalid time, expected a two-digit hour (HH)"),
        ("07:32:00.", "invalid time, expected nanosecond"),
    ],
)
def test_invalid_datetimes_name_the_broken_field(text, message):
    with pytest.raises(ValueError, match=re.escape(message)):
        Document.parse(f"d = {text}\n")


def test_nanoseconds_are_truncated_to_microseconds():
    assert value("t = 07:32:00.9999999\n")["t"] == datetime.time(7, 32, 0, 999999)


@pytest.mark.parametrize(
    "text",
    [
        "1.5",
        "-0.0",
        "6.02e23",
        "1e-7",
        "3_141.592_653",
        "0." + "1" * 80,
        "1" + "_2" * 40 + ".5e-3",
        "-" + "9" * 70 + ".0",
    ],
)
def test_floats_short_and_long(text):
    doc = f"f = {text}\n"
    assert value(doc) == tomllib.loads(doc)


def random_number_text(rng):
    digits = lambda k: "".join(rng.choice("0123456789") for _ in range(k))
    # Underscores between some digits.
    spaced = lambda d: "".join(c + ("_" if i + 1 < len(d) and rng.random() < 0.1 else "") for i, c in enumerate(d))
    sign = rng.choice(["", "", "-", "+"])
    whole = spaced(digits(rng.randint(1, 21)).lstrip("0") or "0")
    if rng.random() < 0.3:
        return sign + whole[:18].rstrip("_")
    text = sign + whole
    if rng.random() < 0.8:
        text += "." + spaced(digits(rng.randint(1, 20)))
    if rng.random() < 0.4 or "." not in text:
        text += rng.choice("eE") + rng.choice(["", "+", "-"]) + spaced(str(rng.randint(0, 280)))
    return text


# The first text is large enough to be parsed on two threads.
@pytest.mark.parametrize("seed, count", [(0, 12000), (1, 3000), (2, 3000), (3, 3000)])
def test_random_numbers_read_as_the_standard_library_reads_them(seed, count):
    rng = random.Random(seed)
    lines = [f"n{i} = {random_number_text(rng)}" for i in range(count)]
    text = "\n".join(lines) + "\n"
    assert value(text) == tomllib.loads(text)


@pytest.mark.parametrize(
    "text, number",
    [
        ("9223372036854775807", 2**63 - 1),
        ("-9223372036854775808", -(2**63)),
        ("0x7FFFFFFFFFFFFFFF", 2**63 - 1),
        ("0o777777777777777777777", 2**63 - 1),
        ("0b" + "1" * 63, 2**63 - 1),
        ("1_000_000", 1000000),
    ],
)
def test_integers_at_the_limits(text, number):
    assert value(f"n = {text}\n") == {"n": number}


@pytest.mark.parametrize(
    "text",
    ["9223372036854775808", "-9223372036854775809", "0x8000000000000000", "0b1" + "0" * 63, "99999999999999999999"],
)
def test_integers_past_the_limits_overflow(text):
    with pytest.raises(ValueError, match="integer number overflowed"):
        Document.parse(f"n = {text}\n")


@pytest.mark.parametrize("enabled", [True, False])
def test_conversion_leaves_the_garbage_collector_as_it_was(enabled):
    was = gc.isenabled()
    try:
        if enabled:
            gc.enable()
        else:
            gc.disable()
        doc = Document.parse("[[t]]\na = [1, {b = 2}]\n[[t]]\nc = 'x'\n")
        assert doc.value == {"t": [{"a": [1, {"b": 2}]}, {"c": "x"}]}
        assert doc["t"].value == [{"a": [1, {"b": 2}]}, {"c": "x"}]
        assert gc.isenabled() is enabled
    finally:
        (gc.enable if was else gc.disable)()


def test_repeated_keys_convert_to_equal_independent_dicts():
    text = "".join(f"[[row]]\nid = {i}\nname = 'n{i}'\n" for i in range(300))
    rows = value(text)["row"]
    assert rows == tomllib.loads(text)["row"]
    rows[0]["id"] = -1
    assert rows[1] == {"id": 1, "name": "n1"}


@pytest.mark.parametrize(
    "body",
    [
        "ascii only " * 120,
        "latin-1 café " * 120,
        "two bytes and three: é 日本 " * 120,
        "four bytes: 😀 " * 120,
        "mixed é 日 😀 x " * 120,
    ],
)
def test_long_texts_decode_to_the_same_str(body):
    text = f"# {body}\ns = \"{body}\"\n"
    doc = Document.parse(text)
    assert doc.as_toml() == text
    assert doc.value == {"s": body}


@pytest.mark.parametrize("offset", range(0, 33))
@pytest.mark.parametrize("char", ["é", "Ā", "日", "😀"])
def test_long_text_with_one_wide_character_anywhere(offset, char):
    body = "a" * offset + char + "b" * (1100 + offset % 7)
    text = f"s = '{body}'\n"
    doc = Document.parse(text)
    assert doc.value == {"s": body}
    assert doc.as_toml() == text


def test_random_strings_and_quoted_keys_read_as_the_standard_library_reads_them():
    rng = random.Random(20240611)
    pieces = ["a", "é", " ", "\t", "\\\\", '\\"', "\\n", "\\u00e9", "'", '"', "\x01", "\x7f", "#", "\\", "\r\n"]
    for _ in range(120):
        body = "".join(rng.choice(pieces) for _ in range(rng.randint(0, 10)))
        for quote in ['"', "'", '"""', "'''"]:
            for text in (f"k = {quote}{body}{quote}\n", f"{quote}{body}{quote} = 1\n"):
                try:
                    expected = tomllib.loads(text)
                except tomllib.TOMLDecodeError:
                    expected = None
                try:
                    got = Document.parse(text).value
                except ValueError:
                    got = None
                assert got == expected, repr(text)
