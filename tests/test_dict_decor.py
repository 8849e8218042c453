"""Writing into tables and inline tables keeps each entry's place, spacing and
comments; removals keep the comments of the remaining entries in place."""

import collections.abc
import tomllib

import pytest

quillon = pytest.importorskip("quillon")

if not hasattr(quillon.Document, "parse") or not all(
    hasattr(quillon.Document, m) for m in ("__getitem__", "__setitem__", "as_toml")
):
    pytest.skip("Document editing is not available yet", allow_module_level=True)


def needs(*methods):
    missing = [m for m in methods if not hasattr(quillon.DictItem, m)]
    return pytest.mark.skipif(bool(missing), reason=f"DictItem lacks {missing}")


def parse(text):
    return quillon.Document.parse(text)


@pytest.mark.parametrize(
    ("source", "value", "expected"),
    [
        pytest.param("[a]\nx = 1  # note\n", 2, "[a]\nx = 2  # note\n", id="keeps-end-of-line-comment"),
        pytest.param("[a]\nx   =   1\ny = 0\n", "s", '[a]\nx   =   "s"\ny = 0\n', id="keeps-spacing-and-place"),
        pytest.param("[a]\n# above\nx = 1\n", 5, "[a]\n# above\nx = 5\n", id="keeps-comment-lines"),
        pytest.param("[a]\nx = 1\n", [1, 2], "[a]\nx = [1, 2]\n", id="scalar-to-array"),
    ],
)
def test_replace_value_in_table(source, value, expected):
    doc = parse(source)
    doc["a"]["x"] = value
    assert doc.as_toml() == expected


def test_value_replaced_by_table_keeps_comment_above_header():
    doc = parse("[a]\n# c\nx = 1\n")
    doc["a"]["x"] = {"k": 1}
    assert doc.as_toml() == "[a]\n# c\n[a.x]\nk = 1\n"
    assert doc["a"]["x"].comment == "# c"


def test_value_replaced_by_table_after_other_entries_gets_own_line():
    doc = parse("[a]\ny = 0\n# c\nx = 1\n")
    doc["a"]["x"] = {"k": 1}
    assert doc.as_toml() == "[a]\ny = 0\n# c\n[a.x]\nk = 1\n"
    assert tomllib.loads(doc.as_toml()) == {"a": {"y": 0, "x": {"k": 1}}}


def test_table_replaced_by_value_keeps_comment():
    doc = parse("[a]\ny = 0\n\n# c\n[a.x]\nk = 1\n")
    doc["a"]["x"] = 5
    text = doc.as_toml()
    assert "\n# c\nx" in text
    assert doc["a"]["x"].comment == "\n# c"
    assert tomllib.loads(text) == {"a": {"y": 0, "x": 5}}


@pytest.mark.parametrize(
    ("target", "expected"),
    [
        pytest.param("a = 1\n", "a = 1\n\n[s]\ny = 1\n", id="after-entries-gets-blank-line"),
        pytest.param("", "[s]\ny = 1\n", id="only-entry-stays-first"),
    ],
)
def test_table_copied_from_top_of_other_document(target, expected):
    src = parse("[s]\ny = 1\n")
    doc = parse(target)
    doc["s"] = src["s"]
    assert doc.as_toml() == expected


@pytest.mark.parametrize(
    ("source", "key", "value", "expected"),
    [
        pytest.param("t = { a = 1 }\n", "b", 2, "t = { a = 1, b = 2 }\n", id="spaced"),
        pytest.param("t = {a = 1}\n", "b", 2, "t = {a = 1, b = 2 }\n", id="tight"),
        pytest.param("t = {}\n", "b", 2, "t = { b = 2 }\n", id="empty"),
        pytest.param("t = { a = 1 }\n", "a", 3, "t = { a = 3 }\n", id="replace-in-place"),
        pytest.param("t = { a = 1 }\n", "d", {"x": 1}, "t = { a = 1, d = { x = 1 } }\n", id="dict-becomes-inline"),
        pytest.param(
            "t = { a = 1 }\n",
            "l",
            [{"x": 1}, {"x": 2}],
            "t = { a = 1, l = [{ x = 1 }, { x = 2 }] }\n",
            id="list-of-dicts-becomes-array",
        ),
    ],
)
def test_write_into_inline_table(source, key, value, expected):
    doc = parse(source)
    doc["t"][key] = value
    assert doc.as_toml() == expected
    assert tomllib.loads(doc.as_toml())["t"][key] == value


MULTILINE_INLINE = "t = {\n  a = 1, # one\n  b = 2, # two\n  c = 3, # three\n}\n"


def test_add_to_multiline_inline_table_keeps_comments():
    doc = parse("t = {\n  a = 1, # one\n  b = 2, # two\n}\n")
    doc["t"]["c"] = 3
    lines = doc.as_toml().split("\n")
    assert lines[:3] == ["t = {", "  a = 1, # one", "  b = 2, # two"]
    assert lines[3].startswith("c = 3") and "#" not in lines[3]
    assert lines[4:] == ["}", ""]
    assert doc["t"]["b"].inline_comment == "# two"
    assert doc["t"]["c"].inline_comment is None


@pytest.mark.parametrize(
    ("key", "expected"),
    [
        pytest.param("b", "t = {\n  a = 1, # one\n  c = 3, # three\n}\n", id="middle"),
        pytest.param("c", "t = {\n  a = 1, # one\n  b = 2, # two\n}\n", id="last"),
    ],
)
def test_remove_from_multiline_inline_table_keeps_comments(key, expected):
    doc = parse(MULTILINE_INLINE)
    del doc["t"][key]
    assert doc.as_toml() == expected


@pytest.mark.parametrize(
    ("source", "popped", "expected"),
    [
        pytest.param("t = {a = 1, b = 2}\n", ("b", 2), "t = {a = 1}\n", id="inline"),
        pytest.param("[t]\na = 1\nb = 2\n", ("b", 2), "[t]\na = 1\n", id="table"),
        pytest.param(
            "t = {\n  a = 1, # one\n  b = 2, # two\n}\n",
            ("b", 2),
            "t = {\n  a = 1, # one\n}\n",
            id="multiline-inline",
        ),
    ],
)
@needs("popitem")
def test_popitem_takes_last_entry(source, popped, expected):
    doc = parse(source)
    assert doc["t"].popitem() == popped
    assert doc.as_toml() == expected


@pytest.mark.parametrize("source", ["t = {}\n", "[t]\n"], ids=["inline", "table"])
@needs("popitem")
def test_popitem_on_empty_table(source):
    doc = parse(source)
    with pytest.raises(KeyError, match="popitem\\(\\): dictionary is empty"):
        doc["t"].popitem()


@pytest.mark.parametrize(
    ("args", "exc"),
    [
        pytest.param(("missing",), KeyError, id="missing-no-default"),
        pytest.param(("a", 1, 2), TypeError, id="two-defaults"),
    ],
)
@needs("pop")
def test_pop_errors(args, exc):
    doc = parse("t = { a = 1 }\n")
    with pytest.raises(exc):
        doc["t"].pop(*args)
    assert doc.as_toml() == "t = { a = 1 }\n"


@needs("pop")
def test_pop_two_defaults_message():
    doc = parse("t = { a = 1 }\n")
    with pytest.raises(TypeError, match="^pop expected at most 2 arguments, got 3$"):
        doc["t"].pop("a", 1, 2)


@needs("pop")
def test_pop_missing_with_default():
    doc = parse("t = { a = 1 }\n")
    assert doc["t"].pop("missing", None) is None
    assert doc["t"].pop("a") == 1
    assert doc.as_toml() == "t = {}\n"


class _Overridden(dict):
    def items(self):
        return [("wrong", 0)]


class _Mapping(collections.abc.Mapping):
    def __init__(self, data):
        self._data = data

    def __getitem__(self, key):
        return self._data[key]

    def __iter__(self):
        return iter(self._data)

    def __len__(self):
        return len(self._data)


@pytest.mark.parametrize(
    "other",
    [
        pytest.param(_Overridden(b=2), id="dict-subclass-raw-contents"),
        pytest.param(_Mapping({"b": 2}), id="abc-mapping"),
        pytest.param([("b", 2)], id="list-of-pairs"),
    ],
)
@needs("update")
def test_update_sources(other):
    doc = parse("[t]\na = 1\n")
    doc["t"].update(other)
    assert doc.as_toml() == "[t]\na = 1\nb = 2\n"


@needs("update")
def test_update_rejects_three_element_tuple():
    doc = parse("[t]\na = 1\n")
    with pytest.raises(ValueError, match="^expected a length-2 iterable pair$"):
        doc["t"].update([("b", 2, 3)])
    assert doc.as_toml() == "[t]\na = 1\n"


@needs("update")
def test_merge_from_other_document_brings_comments_of_new_keys():
    src = parse("[t]\n# new comment\nn = 1\n# other\nx = 9\n")
    doc = parse("[t]\n# mine\nx = 1\n")
    doc["t"].update(src["t"])
    assert doc.as_toml() == "[t]\n# mine\nx = 9\n# new comment\nn = 1\n"


@needs("update")
def test_update_replacing_value_keeps_its_comment():
    doc = parse("[t]\nx = 1 # why\n")
    doc["t"].update({"x": 2, "y": 3})
    assert doc.as_toml() == "[t]\nx = 2 # why\ny = 3\n"


# ---- end-of-line comments carried into inline tables ----

COMMENTED_SOURCE = "x = 1 # c\n[s]\ny = 2 # why\n"


def reparsed(text):
    """The value of TOML 1.1 text (inline tables may span lines)."""
    return parse(text).value


@pytest.mark.parametrize(
    ("target", "write", "expected"),
    [
        pytest.param(
            "t = { a = 1 }\n", lambda t, src: t.__setitem__("k", src["x"]), "t = { a = 1, k = 1 # c\n}\n",
            id="assign",
        ),
        pytest.param(
            "t = { a = 1 }\n", lambda t, src: t.update({"k": src["x"]}), "t = { a = 1, k = 1 # c\n}\n",
            id="update-dict",
        ),
        pytest.param(
            "t = { a = 1 }\n", lambda t, src: t.update(src["s"]), "t = { a = 1, y = 2 # why\n}\n",
            id="update-from-table",
        ),
        pytest.param(
            "t = {a = 1}\n", lambda t, src: t.__ior__(src["s"]), "t = {a = 1, y = 2 # why\n}\n",
            id="ior-from-table",
        ),
        pytest.param(
            "t = { a = 1 }\n", lambda t, src: t.setdefault("k", src["x"]), "t = { a = 1, k = 1 # c\n}\n",
            id="setdefault",
        ),
    ],
)
def test_comment_of_new_value_moves_after_the_entry(target, write, expected):
    src = parse(COMMENTED_SOURCE)
    doc = parse(target)
    write(doc["t"], src)
    assert doc.as_toml() == expected
    assert reparsed(doc.as_toml()) == doc.value
    new_key = list(doc["t"])[-1]
    assert doc["t"][new_key].inline_comment in ("# c", "# why")


def test_merged_copy_of_inline_table_keeps_comment_after_entry():
    src = parse(COMMENTED_SOURCE)
    doc = parse("t = { a = 1 }\n")
    merged = doc["t"] | src["s"]
    assert merged.as_toml() == "{ a = 1, y = 2 # why\n}"
    assert doc.as_toml() == "t = { a = 1 }\n"


def test_replacing_an_inline_entry_keeps_its_own_comment():
    src = parse(COMMENTED_SOURCE)
    doc = parse("t = {\n  a = 1, # one\n  b = 2, # two\n}\n")
    doc["t"]["a"] = src["x"]
    doc["t"].update({"b": src["s"]["y"]})
    assert doc.as_toml() == "t = {\n  a = 1, # one\n  b = 2, # two\n}\n"


@pytest.mark.parametrize(
    ("source", "expected"),
    [
        pytest.param(
            "t = {\n  a = 1, # one\n  b = 2 # two\n}\n",
            "t = {\n  a = 1, # one\n  b = 2, # two\nc = 3 }\n",
            id="comment-after-last-value",
        ),
        pytest.param("t = { a.b = 1 }\n", "t = { a.b = 1, c = 3 }\n", id="dotted-last"),
        pytest.param("t = {a.b = 1, a.c = 2}\n", "t = {a.b = 1, a.c = 2, c = 3 }\n", id="dotted-last-tight"),
    ],
)
def test_adding_after_last_entry_keeps_its_comment_and_spacing(source, expected):
    doc = parse(source)
    doc["t"]["c"] = 3
    assert doc.as_toml() == expected
    assert reparsed(expected) == doc.value


# ---- removing the first or last entry of an inline table ----


@pytest.mark.parametrize(
    ("source", "key", "expected"),
    [
        pytest.param("t = { a = 1, b = 2 }\n", "b", "t = { a = 1 }\n", id="spaced-last"),
        pytest.param("t = {a = 1, b = 2}\n", "b", "t = {a = 1}\n", id="tight-last"),
        pytest.param("t = { a = 1, b = 2, }\n", "b", "t = { a = 1, }\n", id="trailing-comma-last"),
        pytest.param("t = { a = 1, b = 2 }\n", "a", "t = { b = 2 }\n", id="spaced-first"),
        pytest.param("t = {a = 1, b = 2}\n", "a", "t = {b = 2}\n", id="tight-first"),
        pytest.param("t = {\n  a = 1,\n  b = 2\n}\n", "b", "t = {\n  a = 1\n}\n", id="multiline-last"),
        pytest.param(
            "t = {\n  a = 1 # one\n  , b = 2 # two\n}\n", "b", "t = {\n  a = 1 # one\n  }\n",
            id="comment-in-value-suffix",
        ),
        pytest.param(
            "t = {\n  a = 1, # one\n  b = 2 # two\n}\n", "b", "t = {\n  a = 1 # one\n}\n",
            id="comment-of-removed-last",
        ),
        pytest.param(
            "t = {\n  a = 1, # one\n  b = 2, # two\n}\n", "a", "t = {\n  b = 2, # two\n}\n",
            id="multiline-first",
        ),
        pytest.param(
            "t = { # head\n  a = 1, # one\n  # about b\n  b = 2, # two\n}\n",
            "a",
            "t = { # head\n  # about b\n  b = 2, # two\n}\n",
            id="multiline-first-keeps-comment-lines",
        ),
        pytest.param("t = { a.b = 1, c = 3 }\n", "c", "t = { a.b = 1 }\n", id="dotted-becomes-last"),
        pytest.param("t = { c = 3, a.b = 1 }\n", "a", "t = { c = 3 }\n", id="dotted-removed-last"),
    ],
)
@pytest.mark.parametrize("how", ["del", "pop"])
def test_removal_keeps_the_braces_tidy(source, key, expected, how):
    doc = parse(source)
    if how == "del":
        del doc["t"][key]
    else:
        doc["t"].pop(key)
    assert doc.as_toml() == expected
    assert reparsed(expected) == doc.value


def test_popitem_from_single_line_inline_table_keeps_spacing():
    doc = parse("t = { a = 1, b = 2, c = 3 }\n")
    doc["t"].popitem()
    doc["t"].popitem()
    assert doc.as_toml() == "t = { a = 1 }\n"
    doc["t"].popitem()
    assert doc.as_toml() == "t = {}\n"
