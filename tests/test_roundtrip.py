"""Parsing and rendering an unedited document reproduces its text."""
import tomllib

import pytest

import quillon
from quillon import Document

# Documents valid under TOML 1.0 as well (so the standard library can read them).
TOML_1_0 = {
    "comments_everywhere": (
        "# leading comment\n"
        "   # indented comment\n"
        "\n"
        'title = "x"   # end of line\n'
        "  indented = 'lit'\t# tab before comment\n"
        "# between\n"
        "[server]   # header comment\n"
        "  # inside the table\n"
        '  host = "h"\n'
        "\n"
        "# closing comment\n"
    ),
    "blank_lines_and_spacing": "a=1\n\n\n\nb\t=\t2\n  c = 3   \nd =4\n\n",
    "dotted_keys": (
        "a.b.c = 1\n"
        "a.b.d = 2\n"
        "x . y = 3\n"
        "'q'.\"r\" = 4\n"
        "site.\"google.com\" = true\n"
    ),
    "dotted_keys_in_table": "[t]\nname.first = 'a'\nname.last = 'b'\nother = 1\n",
    "arrays": (
        "a = []\n"
        "b = [ ]\n"
        "c = [1,2,3]\n"
        "d = [ 1 , 2 , 3 , ]\n"
        "e = [\n"
        "  # first\n"
        '  "x",\n'
        "\n"
        '  "y", # why\n'
        "  # end\n"
        "]\n"
        "f = [[1, 2], [3, [4]], { k = 'v' }]\n"
        "g = [ 1979-05-27 , 07:32:00 ]\n"
    ),
    "inline_tables": (
        "point = { x = 1, y = 2 }\n"
        'nested = { a = { b = { c = [1, 2] } }, d = "e" }\n'
        "tight = {a=1,b.c=2}\n"
        "empty = {}\n"
        "spaced = {   }\n"
    ),
    "arrays_of_tables": (
        "# products\n"
        "[[products]]  # first\n"
        'name = "Hammer"\n'
        "\n"
        "[[products]]  # empty\n"
        "\n"
        "[[products]]\n"
        'name = "Nail"\n'
        "\n"
        "[[fruit]]\n"
        'name = "apple"\n'
        "\n"
        "[fruit.physical]\n"
        'color = "red"\n'
        "\n"
        "[[fruit.variety]]\n"
        'name = "red delicious"\n'
        "\n"
        "[[fruit]]\n"
        'name = "banana"\n'
    ),
    "subtable_before_its_parent": "[a.b]\nx = 1\n\n[a]\ny = 2\n",
    "headers_out_of_order": "[x.y]\nz = 1\n\n[w]\n\n[x]\nq = 2\n\n[x.y.deep]\nr = 3\n",
    "parent_header_spelled_differently": '[a.b.c]\n[[a . "b".d]]\n[a . "b"]\n["a"]\n',
    "quoted_keys": (
        '"quoted key" = 1\n'
        "'literal key' = 2\n"
        '"" = 3\n'
        '"esc\\u00e9" = 4\n'
        "[ \"spaced header\" . 'x' ]\n"
        "k = 1\n"
        '[[ "aot" ]]\n'
        "k = 2\n"
    ),
    "strings": (
        "s1 = 'C:\\path\\to'\n"
        "s2 = '''\n"
        "line one\n"
        "  line two'''\n"
        's3 = """\n'
        "Roses are red\\\n"
        '   Violets"""\n'
        's4 = """quotes "" inside"""\n'
        's5 = "tab\\tescape \\u00e9 \\U0001F600 \\"q\\""\n'
        "s6 = ''''quoted''''\n"
    ),
    "numbers": (
        "hex = 0xDEAD_beef\n"
        "oct = 0o755\n"
        "bin = 0b1010\n"
        "f = 6.626e-34\n"
        "g = -0.0\n"
        "i = -inf\n"
        "u = +1_000\n"
        "dt = 1979-05-27 07:32:00Z\n"
        "odt = 1979-05-27T00:32:00.999999-07:00\n"
        "ld = 1979-05-27\n"
        "lt = 07:32:00\n"
    ),
    "header_whitespace": "[ a . b ]\nx = 1\n[[ c ]]   \ny = 2\n[d]\n[d . e]\n",
    "only_comments": "# only\n# comments\n",
    "only_blank_lines": "\n\n\n",
    "empty": "",
    "table_then_blank_lines": "[a]\n\n\n",
    "comment_at_end_without_newline": "a = 1\n# end",
    "unicode": '"ключ" = "значение" # коммент\nemoji = "😀"\n',
    "empty_tables": "[a]\n[b]\n[c.d]\n",
    # Inner key parts shared with earlier lines but spelled differently.
    "respelled_dotted_keys": "a.b = 1\na . c = 2\n\"a\".'d' = 3\n",
    "respelled_header_paths": "['a']\n[a.'b']\n[a.'b'.c]\n[ a . b . d ]\n",
    "respelled_inline_keys": "t = { a.b = 1, a . c = 2, \"a\".d = 3 }\n",
    "header_below_dotted_table": "[x]\ny.z = 1\n[x . y . w]\n",
}

# Documents the standard library cannot check: TOML 1.1 additions (newlines,
# comments and trailing commas in inline tables, \e and \x escapes, times
# without seconds) and NaN, which never compares equal.
OTHER_DOCUMENTS = {
    "multi_line_inline_table": (
        "multi = {\n"
        "  # leading\n"
        "  a = 1,  # after a\n"
        "  b.c = 2,\n"
        "  d = [\n"
        "    3, 4, # four\n"
        "  ],\n"
        "}\n"
    ),
    "nested_inline_tables_with_comments": (
        "t = { a = { b = 1, # one\n"
        "  }, # after a\n"
        "  c = { }, }\n"
    ),
    "trailing_comma_inline_table": "t = { a = 1, }\nu = {a=1,}\n",
    "new_escapes": 'esc = "\\e[0m \\x41"\n',
    "time_without_seconds": "t = 07:32\ndt = 1979-05-27 07:32\n",
    "not_a_number": "n = nan\nm = -nan\np = +nan\n",
}


def all_documents():
    for name, text in {**TOML_1_0, **OTHER_DOCUMENTS}.items():
        yield pytest.param(text, id=name)


@pytest.mark.parametrize("text", list(all_documents()))
def test_unedited_document_renders_unchanged(text):
    assert Document.parse(text).as_toml() == text


@pytest.mark.parametrize("text", list(all_documents()))
def test_rendered_text_parses_to_the_same_text_again(text):
    once = Document.parse(text).as_toml()
    assert Document.parse(once).as_toml() == once


@pytest.mark.parametrize("name", sorted(TOML_1_0))
def test_values_match_the_standard_library(name):
    text = TOML_1_0[name]
    assert Document.parse(text).value == tomllib.loads(text)


@pytest.mark.parametrize(
    "text, expected",
    [
        # Carriage returns outside multi-line strings are dropped.
        ("a = 1\r\n\r\n# c\r\nb = [\r\n  1,\r\n]\r\n", "a = 1\n\n# c\nb = [\n  1,\n]\n"),
        ('s = """x\r\ny"""\r\n', 's = """x\r\ny"""\n'),
        ("s = '''\r\nx\r\n'''\r\n[t]\r\n", "s = '''\r\nx\r\n'''\n[t]\n"),
        # A last line without a line break gains one.
        ("a = 1", "a = 1\n"),
        ("a = 1 # c", "a = 1 # c\n"),
        ("[t]", "[t]\n"),
        ("[t]  # c", "[t]  # c\n"),
        ("a = 1\n\n\nb = {x = 1}", "a = 1\n\n\nb = {x = 1}\n"),
    ],
)
def test_line_end_normalisation(text, expected):
    assert Document.parse(text).as_toml() == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("a.x = 1\nb = 2\na.y = 3\n", "a.x = 1\na.y = 3\nb = 2\n"),
        ("[t]\na.b.c = 1 # one\nd = 2\na.e = 3\n", "[t]\na.b.c = 1 # one\na.e = 3\nd = 2\n"),
    ],
)
def test_interleaved_dotted_keys_are_regrouped(text, expected):
    # A table defined by dotted keys is one entry of its parent, so its keys
    # come out together, where the first of them stood.
    assert Document.parse(text).as_toml() == expected


@pytest.mark.parametrize(
    "text",
    [
        "\ufeffa = 1\n",
        "\ufeff# comment\n\n[t]\nx = 1\n",
        "\ufeff",
        "\ufeff\n[[a]]\n",
    ],
)
def test_byte_order_mark_is_kept(text):
    assert Document.parse(text).as_toml() == text


def test_byte_order_mark_is_not_part_of_the_first_key():
    doc = Document.parse("\ufeffa = 1\n")
    assert doc.value == {"a": 1}


def test_later_header_keeps_the_order_of_sections():
    # The implicit x made by [x.y] moves behind z when [x] is written out.
    doc = Document.parse("[x.y]\n[z]\n[x]\nq = 1\n")
    assert list(doc.value) == ["z", "x"]
    assert doc.value["x"] == {"y": {}, "q": 1}


def test_dotted_keys_build_nested_tables():
    doc = Document.parse("a.b.c = 1\na.b.d = 2\n[t]\nx.y = 3\n")
    assert doc.value == {"a": {"b": {"c": 1, "d": 2}}, "t": {"x": {"y": 3}}}


@pytest.mark.parametrize(
    "text, expected",
    [
        ("t = { a.b = 1, a.c = 2 }\n", {"t": {"a": {"b": 1, "c": 2}}}),
        ("t = {\n  a = 1, # c\n  b = [1,\n  2],\n}\n", {"t": {"a": 1, "b": [1, 2]}}),
        ("t = {}\n", {"t": {}}),
    ],
)
def test_inline_table_values(text, expected):
    assert Document.parse(text).value == expected


needs_item_parse = pytest.mark.skipif(
    not hasattr(getattr(quillon, "Item", None), "parse"), reason="Item.parse not available"
)


@needs_item_parse
@pytest.mark.parametrize(
    "text",
    [
        "0xFF",
        "'''x'''",
        '"a\\tb"',
        "1979-05-27 07:32:00",
        "-inf",
        "[ 1, 2, ]",
        "[\n  1, # one\n]",
        "{ a = 1, b.c = [ 'x' ] }",
        "{}",
    ],
)
def test_value_fragment_keeps_its_spelling(text):
    assert quillon.Item.parse(text).as_toml() == text


@needs_item_parse
@pytest.mark.parametrize(
    "text, expected",
    [("0xFF", 255), ("'''\nx'''", "x"), ("[1, [2]]", [1, [2]]), ("{ a.b = 1 }", {"a": {"b": 1}})],
)
def test_value_fragment_values(text, expected):
    assert quillon.Item.parse(text).value == expected
