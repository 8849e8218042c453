"""A parsed document keeps pointing into the text it was parsed from.

Decors, reprs and trailing texts are not copied out of the source; these tests
make sure every way a piece of one document can outlive that source (the
source str going away, copies, moves into another document, single values
parsed on their own) still renders the same text.
"""
import copy
import gc
import sys

import pytest

from quillon import DictItem, Document, Item

COMMENT = "# " + "note " * 20  # longer than any in-place text


def fresh(text):
    """An equal str that is a distinct object, so dropping it frees it."""
    return "".join(list(text))


def churn():
    """Reuse freed memory so that dangling text would show up as garbage."""
    gc.collect()
    junk = ["\x01" * n for n in range(1, 4000)]
    del junk


SOURCES = {
    "comments_and_spacing": (
        f"{COMMENT}\n"
        f"title   =   \"quillon\"   {COMMENT}\n"
        "\n"
        f"[server]  {COMMENT}\n"
        "  host = 'example.org'\n"
        f"  ports = [ 8001 ,  8002 , {COMMENT}\n   8003 , ]\n"
        f"  point = {{ x = 1 ,  y = 2  }}  {COMMENT}\n"
        f"\n{COMMENT}\n"
    ),
    "dotted_and_arrays_of_tables": (
        "a . b . c = 1\n"
        "a.b.d = 'two'\n"
        f"[[fruit]]  {COMMENT}\n"
        "name = \"apple\"\n"
        "[[fruit]]\n"
        "name = \"banana\"\n"
        f"{COMMENT}\n"
    ),
    "multiline_strings": (
        'poem = """\nRoses are red\n  Violets are blue"""\n'
        "raw = '''\nC:\\path\\to\\file\n'''\n"
        f"{COMMENT}\n"
    ),
}


@pytest.mark.parametrize("name", sorted(SOURCES))
def test_document_outlives_its_source_text(name):
    text = fresh(SOURCES[name])
    expected = Document.parse(SOURCES[name]).as_toml()
    doc = Document.parse(text)
    del text
    churn()
    assert doc.as_toml() == expected


@pytest.mark.parametrize("name", sorted(SOURCES))
@pytest.mark.parametrize("duplicate", [copy.copy, copy.deepcopy])
def test_copy_outlives_the_original_and_its_source(name, duplicate):
    expected = Document.parse(SOURCES[name]).as_toml()
    text = fresh(SOURCES[name])
    doc = Document.parse(text)
    dup = duplicate(doc)
    del doc, text
    churn()
    assert dup.as_toml() == expected


def test_table_moved_into_another_document_outlives_the_first():
    text = fresh(SOURCES["comments_and_spacing"])
    first = Document.parse(text)
    second = Document.parse("[other]\nk = 1\n")
    second["server"] = first["server"]
    expected = second.as_toml()
    assert "host = 'example.org'" in expected
    del first, text
    churn()
    assert second.as_toml() == expected


def test_update_from_another_document_outlives_the_first():
    text = fresh(SOURCES["dotted_and_arrays_of_tables"])
    first = Document.parse(text)
    second = Document.parse("z = 0\n")
    second.update(first)
    expected = second.as_toml()
    del first, text
    churn()
    assert second.as_toml() == expected
    assert second.value["fruit"] == [{"name": "apple"}, {"name": "banana"}]


@pytest.mark.parametrize(
    "fragment",
    [
        f"[ 1 , 2 , {COMMENT}\n 3 ]",
        "{ a = 'x' ,   b = [ 'y' ,  'z' ] }",
        '"""\nlong multi-line text that does not fit in place\n"""',
    ],
)
def test_parsed_item_outlives_its_text(fragment):
    text = fresh(fragment)
    item = Item.parse(text)
    del text
    churn()
    assert item.as_toml() == fragment


def test_parsed_table_outlives_its_text():
    source = "{ name = 'a fairly long name value' ,  size = 3 }"
    text = fresh(source)
    item = DictItem.parse(text)
    del text
    churn()
    assert item.value == {"name": "a fairly long name value", "size": 3}


@pytest.mark.parametrize("size", [32_767, 32_768, 100_000])
def test_very_long_comment_blocks_round_trip(size):
    # Texts too long to point at are copied instead.
    block = "#" + "c" * (size - 1)
    text = fresh(f"a = 1\n{block}\nb = 2  {block}\n")
    expected = f"a = 1\n{block}\nb = 2  {block}\n"
    doc = Document.parse(text)
    del text
    churn()
    assert doc.as_toml() == expected


@pytest.mark.parametrize(
    "text, rendered",
    [
        ("a = 1\r\nb = 2\r\n", "a = 1\nb = 2\n"),
        ("# c\r\n[t]\r\nx = [\r\n  1,\r\n  2,\r\n]\r\n", "# c\n[t]\nx = [\n  1,\n  2,\n]\n"),
        ("a = 1\nb = 2\r\n", "a = 1\nb = 2\n"),
        ('s = """\r\nline\r\n"""\r\n', 's = """\r\nline\r\n"""\n'),
    ],
)
def test_carriage_returns_leave_line_breaks_but_not_strings(text, rendered):
    assert Document.parse(text).as_toml() == rendered


def test_text_copied_from_a_crlf_document_loses_its_carriage_returns():
    crlf = Document.parse("[t]   # c\r\nx = [\r\n  1, # one\r\n  2,\r\n]\r\n")
    lf = Document.parse("a = 1\n")
    lf["t"] = crlf["t"]
    assert "\r" not in lf.as_toml()
    assert lf.as_toml() == "a = 1\n\n[t]   # c\nx = [\n  1, # one\n  2,\n]\n"


@pytest.mark.parametrize(
    "text",
    [
        "[a]\nx = 1\n[b]\ny = 2\n[a.c]\nz = 3\n",
        "[[p]]\nn = 1\n[q]\nm = 2\n[[p]]\nn = 3\n",
        "[x.y]\na = 1\n[z]\nb = 2\n[x]\nc = 3\n",
    ],
)
def test_tables_out_of_tree_order_keep_their_place(text):
    assert Document.parse(text).as_toml() == text


@pytest.mark.parametrize("valid", [True, False])
def test_source_text_is_released_with_the_document(valid):
    text = fresh("a = 1  # kept\n" + ("" if valid else "b = = 2\n"))
    before = sys.getrefcount(text)
    docs = []
    for _ in range(5):
        try:
            docs.append(Document.parse(text))
        except ValueError:
            pass
    assert sys.getrefcount(text) - before == (5 if valid else 0)
    del docs
    assert sys.getrefcount(text) == before


# Keys and string values spelled without escapes point into the source too.
DECODED_TEXTS = (
    '"a quoted key without escapes" = "a string value that is long enough"\n'
    "bare_key_that_is_long_enough = 'literal text that is long enough'\n"
    '"escaped \\u00e9 key" = "escaped \\t value, long enough to be held"\n'
    'ml = """\nmulti-line text that is long enough\n"""\n'
    "[tbl.'dotted part that is long enough']\n"
    'inner_key_long_enough = "inner value long enough to be borrowed"\n'
    'arr = ["element string long enough", { inline_key_long_enough = "inline value long enough" }]\n'
)


def _whole(doc):
    return doc


def _copied(doc):
    return copy.deepcopy(doc)


def _moved(doc):
    other = Document.parse("x = 1\n")
    for key in list(doc):
        other[key] = doc[key]
    del other["x"]
    return other


def _merged(doc):
    other = Document.parse("")
    other.update(doc)
    return other


@pytest.mark.parametrize("take", [_whole, _copied, _moved, _merged])
def test_keys_and_strings_outlive_their_source_text(take):
    import tomllib

    text = fresh(DECODED_TEXTS)
    doc = Document.parse(text)
    kept = take(doc)
    del doc, text
    churn()
    assert kept.value == tomllib.loads(DECODED_TEXTS)
    assert tomllib.loads(kept.as_toml()) == tomllib.loads(DECODED_TEXTS)
