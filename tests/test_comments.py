"""Block comments (the lines above an entry) and inline comments (the end of
the entry's line), read and written through Item.comment and
Item.inline_comment."""

import re
import tomllib

import pytest

quillon = pytest.importorskip("quillon")

if not (hasattr(quillon.Item, "comment") and hasattr(quillon.Item, "inline_comment")) or not hasattr(
    quillon.Document, "parse"
) or not all(hasattr(quillon.Document, m) for m in ("__getitem__", "__setitem__", "as_toml")):
    pytest.skip("comment properties are not available yet", allow_module_level=True)


def parse(text):
    return quillon.Document.parse(text)


@pytest.mark.parametrize(
    ("comment", "expected"),
    [
        pytest.param("# hello", "# hello\na = 1\n", id="one-line"),
        pytest.param("# one\n\n# two", "# one\n\n# two\na = 1\n", id="blank-line-between"),
        pytest.param("\n# c", "\n# c\na = 1\n", id="leading-blank-line"),
        pytest.param("# a\n", "# a\n\na = 1\n", id="trailing-empty-line-adds-blank"),
        pytest.param("#\tt", "#\tt\na = 1\n", id="tab-allowed"),
    ],
)
def test_set_block_comment_on_key(comment, expected):
    doc = parse("a = 1\n")
    doc["a"].comment = comment
    assert doc.as_toml() == expected
    assert doc["a"].comment == comment


def test_clear_block_comment_removes_comment_and_blank_lines():
    doc = parse("x = 0\n\n# one\n# two\na = 1\n")
    doc["a"].comment = None
    assert doc.as_toml() == "x = 0\na = 1\n"
    assert doc["a"].comment is None


@pytest.mark.parametrize(
    ("source", "expected"),
    [
        pytest.param("x = 0\n\n# c\na = 1\n", "\n# c", id="blank-then-comment"),
        pytest.param("# a\n\n  # b\na = 1\n", "# a\n\n# b", id="indented-comment-trimmed"),
        pytest.param("a = 1\n", None, id="none"),
        pytest.param("x = 0\n\na = 1\n", None, id="blank-line-only"),
    ],
)
def test_read_block_comment(source, expected):
    doc = parse(source)
    assert doc["a"].comment == expected


def test_block_comment_round_trips():
    source = "x = 0\n\n# c\na = 1\n"
    doc = parse(source)
    doc["a"].comment = doc["a"].comment
    assert doc.as_toml() == source


@pytest.mark.parametrize(
    ("comment", "expected"),
    [
        pytest.param("# s", "x = 0\n# s\n[server]\nport = 1\n", id="replaces-blank-line"),
        pytest.param(None, "x = 0\n\n[server]\nport = 1\n", id="none-leaves-one-blank-line"),
    ],
)
def test_table_header_block_comment(comment, expected):
    doc = parse("x = 0\n\n# old\n[server]\nport = 1\n")
    doc["server"].comment = comment
    assert doc.as_toml() == expected


def test_first_array_of_tables_entry_shares_comment():
    doc = parse("# c\n[[bin]]\na = 1\n\n# d\n[[bin]]\na = 2\n")
    assert doc["bin"].comment == "# c"
    assert doc["bin"][0].comment == "# c"
    assert doc["bin"][1].comment == "# d"


def test_dotted_table_comment_stands_above_its_first_line():
    doc = parse("[t]\nk = 1\n# about dot\ndot.a = 1\ndot.b = 2\n")
    assert doc["t"]["dot"].comment == "# about dot"
    doc["t"]["dot"].comment = "# new"
    assert doc.as_toml() == "[t]\nk = 1\n# new\ndot.a = 1\ndot.b = 2\n"
    doc["t"]["dot"].comment = None
    assert doc.as_toml() == "[t]\nk = 1\ndot.a = 1\ndot.b = 2\n"


@pytest.mark.parametrize(
    ("prop", "text", "expected"),
    [
        ("comment", "# about a", "x = 1\n# about a\n[a]\n\n[a.b]\nk = 1\n"),
        ("inline_comment", "# il", "x = 1\n\n[a] # il\n\n[a.b]\nk = 1\n"),
        ("comment", None, "x = 1\n\n[a.b]\nk = 1\n"),
    ],
)
def test_comment_on_a_table_without_header_shows_its_header(prop, text, expected):
    doc = parse("x = 1\n\n[a.b]\nk = 1\n")
    setattr(doc["a"], prop, text)
    assert doc.as_toml() == expected
    assert getattr(parse(expected)["a"], prop) == text


def test_later_array_of_tables_entry_owns_the_line_right_above_it():
    # No blank line after the previous section: the first comment line is
    # still a line of its own, not a comment at the end of a previous line.
    doc = parse("[[bin]]\na = 1\n# d\n# e\n[[bin]]\na = 2\n")
    assert doc["bin"][1].comment == "# d\n# e"
    doc["bin"][1].comment = "# f"
    assert doc.as_toml() == "[[bin]]\na = 1\n# f\n[[bin]]\na = 2\n"
    doc["bin"][1].comment = None
    assert doc.as_toml() == "[[bin]]\na = 1\n[[bin]]\na = 2\n"


def test_later_array_of_tables_entry_keeps_blank_line():
    doc = parse("[[bin]]\na = 1\n\n[[bin]]\na = 2\n")
    doc["bin"][1].comment = "# second"
    assert doc.as_toml() == "[[bin]]\na = 1\n\n# second\n[[bin]]\na = 2\n"


@pytest.mark.parametrize(
    ("bad", "message"),
    [
        pytest.param("x", "comment lines must start with '#'", id="not-a-comment"),
        pytest.param("# ok\nx", "comment lines must start with '#'", id="second-line"),
        pytest.param("# a\rb", "comment contains invalid character U+000D", id="carriage-return"),
        pytest.param("# \x7f", "comment contains invalid character U+007F", id="delete"),
        pytest.param("# \x00", "comment contains invalid character U+0000", id="nul"),
    ],
)
def test_invalid_block_comment_changes_nothing(bad, message):
    source = "# keep\na = 1\n"
    doc = parse(source)
    with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
        doc["a"].comment = bad
    assert doc.as_toml() == source


@pytest.mark.parametrize(
    ("comment", "expected"),
    [
        pytest.param("# note", "a = 1 # note\n", id="plain"),
        pytest.param("#\ttab inside", "a = 1 #\ttab inside\n", id="tab"),
        pytest.param("# é ü", "a = 1 # é ü\n", id="non-ascii"),
    ],
)
def test_set_inline_comment(comment, expected):
    doc = parse("a = 1\n")
    doc["a"].inline_comment = comment
    assert doc.as_toml() == expected
    assert doc["a"].inline_comment == comment
    assert tomllib.loads(doc.as_toml()) == {"a": 1}


def test_replace_and_clear_inline_comment():
    doc = parse("a = 1  # old\n")
    assert doc["a"].inline_comment == "# old"
    doc["a"].inline_comment = "# new"
    assert doc.as_toml() == "a = 1 # new\n"
    doc["a"].inline_comment = None
    assert doc.as_toml() == "a = 1\n"
    assert doc["a"].inline_comment is None


@pytest.mark.parametrize(
    ("bad", "message"),
    [
        pytest.param("note", "comment must start with '#'", id="no-hash"),
        pytest.param("", "comment must start with '#'", id="empty"),
        pytest.param("# a\n# b", "inline comment must not contain newlines", id="newline"),
        pytest.param("# a\rb", "comment contains invalid character U+000D", id="carriage-return"),
        pytest.param("# \x1b", "comment contains invalid character U+001B", id="escape"),
    ],
)
def test_invalid_inline_comment_changes_nothing(bad, message):
    source = "a = 1 # keep\n"
    doc = parse(source)
    with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
        doc["a"].inline_comment = bad
    assert doc.as_toml() == source


def test_table_header_inline_comment():
    doc = parse("[server]\nport = 1\n")
    doc["server"].inline_comment = "# main"
    assert doc.as_toml() == "[server] # main\nport = 1\n"
    assert doc["server"].inline_comment == "# main"


def test_inline_comment_on_array_of_tables_is_rejected():
    doc = parse("[[bin]]\na = 1\n")
    with pytest.raises(TypeError, match="^'array of tables' does not support comments$"):
        doc["bin"].inline_comment = "# x"


def test_array_element_inline_comment_goes_into_next_prefix():
    doc = parse("a = [1, 2]\n")
    doc["a"][0].inline_comment = "# first"
    assert doc.as_toml() == "a = [1, # first\n 2]\n"
    assert doc["a"][0].inline_comment == "# first"
    assert doc["a"][1].inline_comment is None
    assert doc["a"].value == [1, 2]


def test_last_array_element_inline_comment_uses_trailing():
    doc = parse("a = [\n  1,\n  2,\n]\n")
    doc["a"][1].inline_comment = "# last"
    assert doc.as_toml() == "a = [\n  1,\n  2, # last\n]\n"
    assert doc["a"][1].inline_comment == "# last"


@pytest.mark.parametrize(
    ("index", "comment", "expected"),
    [
        pytest.param(1, "# two", "a = [\n  1,\n  # two\n  2,\n]\n", id="second"),
        pytest.param(0, "# one", "a = [\n  # one\n  1,\n  2,\n]\n", id="first"),
    ],
)
def test_array_element_block_comment(index, comment, expected):
    doc = parse("a = [\n  1,\n  2,\n]\n")
    doc["a"][index].comment = comment
    assert doc.as_toml() == expected
    assert doc["a"][index].comment == comment


def test_array_element_block_comment_keeps_previous_inline_comment():
    doc = parse("a = [\n  1, # one\n  2,\n]\n")
    doc["a"][1].comment = "# above two"
    assert doc.as_toml() == "a = [\n  1, # one\n  # above two\n  2,\n]\n"
    assert doc["a"][0].inline_comment == "# one"


@pytest.mark.parametrize(
    ("key", "comment", "expected"),
    [
        pytest.param("b", "# c", "t = { a = 1,\n # c\n b = 2 }\n", id="later-entry"),
        pytest.param("a", "# c", "t = {\n # c\n a = 1, b = 2 }\n", id="first-entry"),
    ],
)
def test_inline_table_block_comment(key, comment, expected):
    doc = parse("t = { a = 1, b = 2 }\n")
    doc["t"][key].comment = comment
    assert doc.as_toml() == expected
    assert doc["t"][key].comment == comment


def test_clearing_first_inline_table_entry_comment_restores_indentation():
    doc = parse("t = { a = 1, b = 2 }\n")
    doc["t"]["a"].comment = "# c"
    doc["t"]["a"].comment = None
    assert doc.as_toml() == "t = { a = 1, b = 2 }\n"
    assert doc["t"]["a"].comment is None


def test_inline_table_entry_inline_comment():
    doc = parse("t = { a = 1, b = 2 }\n")
    doc["t"]["a"].inline_comment = "# x"
    assert doc.as_toml() == "t = { a = 1, # x\n b = 2 }\n"
    assert doc["t"]["a"].inline_comment == "# x"
    assert doc["t"]["b"].inline_comment is None

