"""Parse errors: which error is reported, where, and the exact text raised."""
import pytest

import quillon
from quillon import Document


def parse_error(text):
    with pytest.raises(ValueError) as info:
        Document.parse(text)
    return str(info.value)


def report(line, column, line_text, message, carets=1):
    """The five-line report for a one-digit line number."""
    return (
        f"TOML parse error at line {line}, column {column}\n"
        "  |\n"
        f"{line} | {line_text}\n"
        f"  |{' ' * column}{'^' * carets}\n"
        f"{message}\n"
    )


GRAMMAR_ERRORS = [
    ("]\n", report(1, 1, "]", "missing table open, expected `[`")),
    ("= 1\n", report(1, 1, "= 1", "invalid key-value pair, expected key")),
    ("a = 1\n, = 2\n", report(2, 1, ", = 2", "invalid key-value pair, expected key")),
    ("[]\n", report(1, 2, "[]", "invalid table, expected key")),
    ("[a\n", report(1, 3, "[a", "unclosed table, expected `]`")),
    ("[a b]\n", report(1, 3, "[a b]", "unclosed table, expected `]`")),
    ("[[a]\n", report(1, 5, "[[a]", "unclosed array table, expected `]`")),
    # Brackets apart are not a double bracket.
    ("[ [a]]\n", report(1, 3, "[ [a]]", "invalid table, expected key")),
    ("[[a] ]\n", report(1, 5, "[[a] ]", "unclosed array table, expected `]`")),
    ("[[a\n", report(1, 4, "[[a", "unclosed array table, expected `]]`")),
    ("a\n", report(1, 2, "a", "key with no value, expected `=`")),
    ("a b = 1\n", report(1, 3, "a b = 1", "key with no value, expected `=`")),
    (".a\n", report(1, 3, ".a", "missing value for key, expected `=`")),
    ("a = = 1\n", report(1, 5, "a = = 1", "extra `=`, expected nothing")),
    ("a = ]\n", report(1, 5, "a = ]", "missing array opening, expected `[`")),
    ("a = }\n", report(1, 5, "a = }", "missing inline table opening, expected `{`")),
    ('a = "x" b\n', report(1, 9, 'a = "x" b', "unexpected key or value, expected newline, `#`")),
    ("[a] b\n", report(1, 5, "[a] b", "unexpected key or value, expected newline, `#`")),
    ("a = [1 = 2]\n", report(1, 8, "a = [1 = 2]", "unexpected `=` in array, expected value, `]`")),
    ('a = [1 "x"]\n', report(1, 8, 'a = [1 "x"]', "missing comma between array elements, expected `,`")),
    ("a = [,]\n", report(1, 6, "a = [,]", "extra comma in array, expected value")),
    ("a = [1,,]\n", report(1, 8, "a = [1,,]", "extra comma in array, expected value")),
    ("a = [1,\n", report(1, 8, "a = [1,", "unclosed array, expected `]`")),
    ("a = [1, # open\n\n", report(1, 8, "a = [1, # open", "unclosed array, expected `]`")),
    ('a = {b = 1 "c" = 2}\n',
     report(1, 12, 'a = {b = 1 "c" = 2}', "missing comma between key-value pairs, expected `,`")),
    ("a = {b 1}\n", report(1, 8, "a = {b 1}", "missing assignment between key-value pairs, expected `=`")),
    ("a = {b = = 1}\n",
     report(1, 10, "a = {b = = 1}", "extra assignment between key-value pairs, expected value")),
    ("a = {b = 1 = 2}\n",
     report(1, 12, "a = {b = 1 = 2}", "extra assignment between key-value pairs, expected `,`")),
    ("a = {,}\n", report(1, 6, "a = {,}", "extra comma in inline table, expected key")),
    ("a = {b,}\n", report(1, 7, "a = {b,}", "extra comma in inline table, expected `=`")),
    ("a = {= 1}\n", report(1, 6, "a = {= 1}", "missing key for inline table element, expected key")),
    ("a = {b = 1 ]}\n", report(1, 12, "a = {b = 1 ]}", "invalid inline table element, expected `,`")),
    ("a = {b = 1", report(1, 11, "a = {b = 1", "unclosed inline table, expected `}`")),
    ("# a\x01b\n", report(1, 4, "# a\x01b", "invalid comment character, expected printable characters")),
    ("a = 1 # \x7f\n", report(1, 9, "a = 1 # \x7f", "invalid comment character, expected printable characters")),
    ("a = 1\rb = 2\n",
     report(1, 7, "a = 1\rb = 2", "carriage return must be followed by newline, expected newline")),
]


@pytest.mark.parametrize("text, expected", GRAMMAR_ERRORS)
def test_grammar_errors_are_reported_with_position_and_expectations(text, expected):
    assert parse_error(text) == expected


ASSEMBLY_ERRORS = [
    ("a = 1\na = 2\n", report(2, 1, "a = 2", "duplicate key")),
    ("'a' = 1\n\"a\" = 2\n", report(2, 1, '"a" = 2', "duplicate key", carets=3)),
    ("[a]\n[a]\n", report(2, 2, "[a]", "duplicate key")),
    ("a.b = 1\n[a]\n", report(2, 2, "[a]", "duplicate key")),
    ("[a]\nb = 1\n[a.b]\n", report(3, 4, "[a.b]", "duplicate key")),
    ("[a.b]\n[a]\nb.c = 1\n", report(3, 1, "b.c = 1", "duplicate key")),
    ("a = 1\n[[a]]\n", report(2, 3, "[[a]]", "duplicate key")),
    ("[[a]]\n[a]\n", report(2, 2, "[a]", "duplicate key")),
    ("a = 1\na.b = 2\n", report(2, 1, "a.b = 2", "cannot extend value of type integer with a dotted key")),
    ("a = [1]\n[a.b]\n", report(2, 2, "[a.b]", "cannot extend value of type array with a dotted key")),
    ("a = {}\n[a.b]\n", report(2, 2, "[a.b]", "cannot extend value of type inline table with a dotted key")),
    ("a = 1979-05-27\na.b.c = 1\n",
     report(2, 1, "a.b.c = 1", "cannot extend value of type datetime with a dotted key")),
    ("t = {a = 1, a = 2}\n", report(1, 13, "t = {a = 1, a = 2}", "duplicate key")),
    ("t = {a = 1, a.b = 2}\n",
     report(1, 13, "t = {a = 1, a.b = 2}", "cannot extend value of type integer with a dotted key")),
    ("t = {a = {}, a.b = 2}\n", report(1, 14, "t = {a = {}, a.b = 2}", "duplicate key")),
    ("t = {a.b = 1, a.b = 2}\n", report(1, 17, "t = {a.b = 1, a.b = 2}", "duplicate key")),
    ("a = hello\n", report(1, 5, "a = hello", "string values must be quoted, expected literal string", carets=5)),
    ("a = 1 2\n", report(1, 5, "a = 1 2", "string values must be quoted, expected literal string", carets=3)),
    ("a =\n", report(1, 4, "a =", "string values must be quoted, expected literal string")),
    ("a = [1, 2, hello]\n",
     report(1, 12, "a = [1, 2, hello]", "string values must be quoted, expected literal string", carets=5)),
]


@pytest.mark.parametrize("text, expected", ASSEMBLY_ERRORS)
def test_semantic_and_decoding_errors_are_reported(text, expected):
    assert parse_error(text) == expected


def test_too_many_key_parts_is_reported_without_position():
    key = ".".join(["k"] * 81)
    assert parse_error(key + " = 1\n") == "recursion limit\n"


def test_eighty_key_parts_are_accepted():
    key = ".".join(["k"] * 80)
    text = key + " = 1\n"
    assert Document.parse(text).as_toml() == text


@pytest.mark.parametrize(
    "text, expected",
    [
        # The column counts characters, not bytes.
        ('k = "日本語" x\n',
         report(1, 11, 'k = "日本語" x', "unexpected key or value, expected newline, `#`")),
        ('"ключ" = 1 2\n',
         report(1, 10, '"ключ" = 1 2', "string values must be quoted, expected literal string", carets=3)),
        # An error on a multi-byte character: its column is that of the
        # character, and one caret covers it.
        ('é = "x" é\n', report(1, 9, 'é = "x" é', "unexpected key or value, expected newline, `#`")),
        ('"é" = é\n', report(1, 7, '"é" = é', "string values must be quoted, expected literal string")),
        ('a = 日本\n', report(1, 5, "a = 日本", "string values must be quoted, expected literal string", carets=2)),
    ],
)
def test_columns_with_multibyte_characters(text, expected):
    assert parse_error(text) == expected


@pytest.mark.parametrize(
    "text, line, column",
    [
        ("a = 1 = 2\n", 1, 7),
        ('x = 1\n"ключ" = 1 2\n', 2, 10),
        ("a = [1,", 1, 8),
        ("a = 1\n[[é]]\ns = 'π' 3\n", 3, 9),
    ],
)
def test_errors_carry_line_and_character_column(text, line, column):
    with pytest.raises(ValueError) as info:
        Document.parse(text)
    assert (info.value.lineno, info.value.colno) == (line, column)
    # The attributes agree with the heading, and the first caret sits under
    # the character they name.
    heading, _, excerpt, carets = str(info.value).splitlines()[:4]
    assert heading == f"TOML parse error at line {line}, column {column}"
    assert carets.index("^") == excerpt.index(" | ") + len(" | ") + column - 1


def test_errors_without_a_position_have_no_line_or_column():
    with pytest.raises(ValueError) as info:
        Document.parse(".".join(["k"] * 81) + " = 1\n")
    assert (info.value.lineno, info.value.colno) == (None, None)


@pytest.mark.parametrize(
    "line, text",
    [
        (10, "\n" * 9 + "a = 1 = 2\n"),
        (12, "# header\n" + "x = 1\n" * 10 + "a = 1 = 2\n"),
    ],
)
def test_two_digit_line_numbers_widen_the_gutter(line, text):
    assert parse_error(text) == (
        f"TOML parse error at line {line}, column 7\n"
        "   |\n"
        f"{line} | a = 1 = 2\n"
        "   |       ^\n"
        "unexpected key or value, expected newline, `#`\n"
    )


def test_error_after_the_last_byte_points_past_the_line_end():
    assert parse_error("a = [1,") == report(1, 8, "a = [1,", "unclosed array, expected `]`")


@pytest.mark.parametrize(
    "text, expected",
    [
        # A grammar error anywhere wins over a decoding error earlier on.
        ('a = "\\q"\nb = [1,\n', report(2, 8, "b = [1,", "unclosed array, expected `]`")),
        ("a = hello\n# bad \x01\n", report(2, 7, "# bad \x01", "invalid comment character, expected printable characters")),
        # ... and over a duplicate key earlier on.
        ("a = 1\na = 2\nb = {", report(3, 6, "b = {", "unclosed inline table, expected `}`")),
        # Within assembly, source order: the value is decoded before the key is placed.
        ("a = 1\na = hello\n",
         report(2, 5, "a = hello", "string values must be quoted, expected literal string", carets=5)),
        ("a = 1\na = 2\nb = hello\n", report(2, 1, "a = 2", "duplicate key")),
        # Among grammar errors, the first in the text.
        ("a = [1 = 2]\nb = ]\n", report(1, 8, "a = [1 = 2]", "unexpected `=` in array, expected value, `]`")),
    ],
)
def test_first_error_wins(text, expected):
    assert parse_error(text) == expected


LONG_BODY = "".join(f"k{i} = {i}\n" for i in range(3000))


@pytest.mark.parametrize(
    "text, line, column, message",
    [
        # The grammar error at the end wins over the duplicate key at the start.
        ("a = 1\na = 2\n" + LONG_BODY + "[t]\n" + LONG_BODY + "b = {", 6004, 6,
         "unclosed inline table, expected `}`"),
        ("a = 1\na = 2\n" + LONG_BODY + "[t]\n" + LONG_BODY + "[t]\n", 2, 1, "duplicate key"),
        ("[t]\n" + LONG_BODY + "[u]\n" + LONG_BODY + "[t]\n", 6003, 2, "duplicate key"),
    ],
)
def test_first_error_wins_in_long_documents(text, line, column, message):
    report_lines = parse_error(text).splitlines()
    assert report_lines[0] == f"TOML parse error at line {line}, column {column}"
    assert report_lines[-1] == message


def nested_arrays(depth):
    return "[" * depth + "]" * depth


def nested_tables(depth):
    return "{ a = " * depth + "1" + " }" * depth


@pytest.mark.parametrize("nest", [nested_arrays, nested_tables])
def test_eighty_levels_of_nesting_are_accepted(nest):
    text = "x = " + nest(80) + "\n"
    assert Document.parse(text).as_toml() == text


@pytest.mark.parametrize(
    "nest, column",
    [
        (nested_arrays, 4 + 80 + 1),
        (nested_tables, 4 + 80 * len("{ a = ") + 1),
    ],
)
def test_the_eighty_first_level_is_an_error(nest, column):
    line = "x = " + nest(81)
    assert parse_error(line + "\n") == report(
        1, column, line, "cannot recurse further; max recursion depth met"
    )


def test_mixed_nesting_counts_arrays_and_inline_tables_together():
    line = "x = " + "[{ a = " * 41 + "1" + " }]" * 41
    message = parse_error(line + "\n")
    assert message.endswith("cannot recurse further; max recursion depth met\n")


def test_byte_order_mark_elsewhere_is_an_error():
    message = parse_error("a = \ufeff\n")
    assert message.startswith("TOML parse error at line 1, column 5\n")


needs_item_parse = pytest.mark.skipif(
    not hasattr(getattr(quillon, "Item", None), "parse"), reason="Item.parse not available"
)


@needs_item_parse
@pytest.mark.parametrize(
    "text, expected",
    [
        (" 0xFF", report(1, 1, " 0xFF", "string values must be quoted, expected literal string", carets=5)),
        ("0xFF ", report(1, 5, "0xFF ", "unexpected content, expected nothing")),
        (" ,", report(1, 1, " ,", "unexpected content, expected nothing")),
        ("1 2", report(1, 1, "1 2", "string values must be quoted, expected literal string", carets=3)),
        ("a = 1", report(1, 2, "a = 1", "unexpected content, expected nothing")),
        ("[1, 2", report(1, 6, "[1, 2", "unclosed array, expected `]`")),
    ],
)
def test_value_fragment_errors(text, expected):
    with pytest.raises(ValueError) as info:
        quillon.Item.parse(text)
    assert str(info.value) == expected
    assert str(info.value).startswith(
        f"TOML parse error at line {info.value.lineno}, column {info.value.colno}\n"
    )
