"""Array and array-of-tables edits keep the surrounding text readable:
indentation, trailing commas, per-element comments and blank lines between
[[name]] entries."""

import re
import tomllib

import pytest

quillon = pytest.importorskip("quillon")

if not hasattr(quillon.Document, "parse") or not all(
    hasattr(quillon.Document, m) for m in ("__getitem__", "__setitem__", "as_toml")
):
    pytest.skip("Document editing is not available yet", allow_module_level=True)


def needs(*methods):
    missing = [m for m in methods if not hasattr(quillon.ListItem, m)]
    return pytest.mark.skipif(bool(missing), reason=f"ListItem lacks {missing}")


def parse(text):
    return quillon.Document.parse(text)


MULTILINE_COMMENTED = "a = [\n  1, # one\n  2, # two\n]\n"


@pytest.mark.parametrize(
    ("source", "expected"),
    [
        pytest.param("a = [1, 2]\n", "a = [1, 2, 3]\n", id="single-line"),
        pytest.param(
            "a = [\n    1,\n    2,\n]\n",
            "a = [\n    1,\n    2,\n    3,\n]\n",
            id="one-per-line-trailing-comma",
        ),
        pytest.param(
            "a = [\n    1,\n    2\n]\n",
            "a = [\n    1,\n    2,\n    3\n]\n",
            id="one-per-line-no-trailing-comma",
        ),
        pytest.param(
            MULTILINE_COMMENTED,
            "a = [\n  1, # one\n  2, # two\n  3,\n]\n",
            id="comments-stay-on-their-elements",
        ),
        pytest.param("a = []\n", "a = [3]\n", id="empty"),
    ],
)
@needs("append")
def test_append_layout(source, expected):
    doc = parse(source)
    doc["a"].append(3)
    assert doc.as_toml() == expected
    assert tomllib.loads(doc.as_toml())["a"][-1] == 3


@needs("append")
def test_append_moves_carried_comment_into_the_slot():
    src = parse("x = 1 # note\n")
    doc = parse("a = [1, 2]\n")
    doc["a"].append(src["x"])
    assert doc.as_toml() == "a = [1, 2, 1 # note\n]\n"
    assert doc["a"][2].inline_comment == "# note"


@pytest.mark.parametrize(
    ("source", "index", "expected"),
    [
        pytest.param("a = [1, 2, 3]\n", 0, "a = [2, 3]\n", id="first"),
        pytest.param("a = [1, 2, 3]\n", 2, "a = [1, 2]\n", id="last"),
        pytest.param("a = [1, 2, 3]\n", 1, "a = [1, 3]\n", id="middle"),
        pytest.param(MULTILINE_COMMENTED, 0, "a = [\n  2, # two\n]\n", id="commented-first"),
        pytest.param(MULTILINE_COMMENTED, 1, "a = [\n  1, # one\n]\n", id="commented-last"),
        pytest.param(
            "a = [\n  1, # one\n  2, # two\n  3, # three\n]\n",
            1,
            "a = [\n  1, # one\n  3, # three\n]\n",
            id="commented-middle",
        ),
    ],
)
def test_delete_element_layout(source, index, expected):
    doc = parse(source)
    del doc["a"][index]
    assert doc.as_toml() == expected


@pytest.mark.parametrize(
    ("source", "index", "expected_text", "expected_value"),
    [
        pytest.param("a = [1, 2]\n", 0, "a = [0,1, 2]\n", [0, 1, 2], id="front-takes-first-prefix"),
        pytest.param("a = [1, 2, 3]\n", 100, "a = [1, 2, 3, 0]\n", [1, 2, 3, 0], id="past-end-appends"),
        pytest.param("a = [1, 2, 3]\n", -100, "a = [0,1, 2, 3]\n", [0, 1, 2, 3], id="far-negative-is-front"),
        pytest.param("a = [1, 2, 3]\n", -1, "a = [1, 2, 0, 3]\n", [1, 2, 0, 3], id="negative"),
        pytest.param(
            "a = [\n    1,\n    2,\n]\n",
            1,
            "a = [\n    1,\n    0,\n    2,\n]\n",
            [1, 0, 2],
            id="multiline-middle",
        ),
    ],
)
@needs("insert")
def test_insert_layout(source, index, expected_text, expected_value):
    doc = parse(source)
    doc["a"].insert(index, 0)
    assert doc.as_toml() == expected_text
    assert doc["a"].value == expected_value


@pytest.mark.parametrize(
    ("source", "args", "exc", "message"),
    [
        pytest.param("a = []\n", (), IndexError, "pop from empty array", id="empty"),
        pytest.param("a = [1, 2, 3]\n", (5,), IndexError, "index out of range", id="too-large"),
        pytest.param("a = [1, 2, 3]\n", (-4,), IndexError, "index out of range", id="too-negative"),
    ],
)
@needs("pop")
def test_pop_errors_leave_array_alone(source, args, exc, message):
    doc = parse(source)
    with pytest.raises(exc, match=f"^{re.escape(message)}$"):
        doc["a"].pop(*args)
    assert doc.as_toml() == source


@pytest.mark.parametrize(
    ("args", "returned", "remaining"),
    [
        pytest.param((), 3, "a = [1, 2]\n", id="default-last"),
        pytest.param((-1,), 3, "a = [1, 2]\n", id="minus-one"),
        pytest.param((0,), 1, "a = [2, 3]\n", id="first"),
    ],
)
@needs("pop")
def test_pop_returns_plain_value(args, returned, remaining):
    doc = parse("a = [1, 2, 3]\n")
    assert doc["a"].pop(*args) == returned
    assert doc.as_toml() == remaining


@pytest.mark.parametrize(
    ("args", "expected"),
    [
        pytest.param((1,), 0, id="no-bounds"),
        pytest.param((1, -2), 2, id="negative-start"),
        pytest.param((1, 1, 3), 2, id="window"),
        pytest.param((3, -100), 3, id="start-clamped"),
    ],
)
@needs("index")
def test_index_bounds(args, expected):
    doc = parse("a = [1, 2, 1, 3]\n")
    assert doc["a"].index(*args) == expected


@pytest.mark.parametrize("args", [(1, 5, 1), (2, -1), (9,)], ids=["empty-window", "outside-window", "absent"])
@needs("index")
def test_index_not_found(args):
    doc = parse("a = [1, 2, 1, 3]\n")
    with pytest.raises(ValueError, match="^value not in array$"):
        doc["a"].index(*args)


@pytest.mark.parametrize(
    ("source", "edit", "expected"),
    [
        pytest.param("a = [1, 2, 3]\n", (slice(0, 2), []), "a = [3]\n", id="delete-front"),
        pytest.param("a = [1, 2, 3]\n", (slice(1, None), [9]), "a = [1, 9]\n", id="replace-tail"),
        pytest.param("a = [1, 2, 3]\n", (slice(1, 2), [8, 9]), "a = [1, 8, 9, 3]\n", id="grow-middle"),
        pytest.param("a = [1, 2, 3, 4]\n", (slice(None, None, 2), [7, 9]), "a = [7, 2, 9, 4]\n", id="extended"),
    ],
)
def test_slice_assignment(source, edit, expected):
    doc = parse(source)
    key, values = edit
    doc["a"][key] = values
    assert doc.as_toml() == expected


def test_extended_slice_size_mismatch():
    doc = parse("a = [1, 2, 3, 4]\n")
    with pytest.raises(ValueError, match="^attempt to assign sequence of size 1 to extended slice of size 2$"):
        doc["a"][::2] = [1]
    assert doc.as_toml() == "a = [1, 2, 3, 4]\n"


@pytest.mark.parametrize(
    ("source", "key", "expected"),
    [
        pytest.param("a = [1, 2, 3, 4]\n", slice(0, 2), "a = [3, 4]\n", id="front"),
        pytest.param("a = [1, 2, 3, 4]\n", slice(2, None), "a = [1, 2]\n", id="tail"),
        pytest.param("a = [1, 2, 3, 4]\n", slice(None, None, 2), "a = [2, 4]\n", id="every-other"),
        pytest.param(
            "a = [\n  1, # one\n  2, # two\n  3, # three\n]\n",
            slice(0, 2),
            "a = [\n  3, # three\n]\n",
            id="commented-front",
        ),
    ],
)
def test_slice_deletion(source, key, expected):
    doc = parse(source)
    del doc["a"][key]
    assert doc.as_toml() == expected


AOT_TIGHT = "[[bin]]\na = 1\n[[bin]]\na = 2\n"
AOT_SPACED = "[[bin]]\na = 1\n\n[[bin]]\na = 2\n"


@pytest.mark.parametrize(
    ("source", "expected"),
    [
        pytest.param(AOT_TIGHT, AOT_TIGHT + "[[bin]]\na = 3\n", id="no-blank-lines"),
        pytest.param(AOT_SPACED, AOT_SPACED + "\n[[bin]]\na = 3\n", id="blank-lines"),
        pytest.param("[[bin]]\na = 1\n", "[[bin]]\na = 1\n\n[[bin]]\na = 3\n", id="no-reference-entry"),
    ],
)
@needs("append")
def test_append_table_spacing(source, expected):
    doc = parse(source)
    doc["bin"].append({"a": 3})
    assert doc.as_toml() == expected


@pytest.mark.parametrize(
    ("source", "expected"),
    [
        pytest.param(AOT_SPACED, "[[bin]]\na = 2\n", id="spaced"),
        pytest.param(AOT_TIGHT, "[[bin]]\na = 2\n", id="tight"),
    ],
)
def test_remove_first_table_entry(source, expected):
    doc = parse(source)
    del doc["bin"][0]
    assert doc.as_toml() == expected


@needs("append")
def test_append_scalar_to_array_of_tables():
    doc = parse(AOT_TIGHT)
    with pytest.raises(TypeError, match=r"^cannot append integer to array of tables \(expected a table/dict\)$"):
        doc["bin"].append(5)
    assert doc.as_toml() == AOT_TIGHT


@needs("append")
def test_append_inline_table_to_array_of_tables_becomes_table():
    doc = parse(AOT_TIGHT)
    doc["bin"].append(quillon.Item.parse("{ a = 3 }"))
    assert tomllib.loads(doc.as_toml()) == {"bin": [{"a": 1}, {"a": 2}, {"a": 3}]}


@pytest.mark.parametrize(
    ("source", "indent", "expected"),
    [
        pytest.param("a = [1, 2] # c\n", 4, "a = [\n    1,\n    2,\n] # c\n", id="indent-4"),
        pytest.param("a = [1, 2]\n", 0, "a = [\n1,\n2,\n]\n", id="indent-0"),
        pytest.param("a = [ 1, # x\n 2 ]\n", 2, "a = [\n  1,\n  2,\n]\n", id="drops-element-comments"),
        pytest.param("a = []\n", 4, "a = []\n", id="empty-unchanged"),
        pytest.param(AOT_SPACED, 4, AOT_SPACED, id="array-of-tables-unchanged"),
    ],
)
@needs("set_multiline")
def test_set_multiline(source, indent, expected):
    doc = parse(source)
    key = "bin" if source.startswith("[[") else "a"
    doc[key].set_multiline(indent=indent)
    assert doc.as_toml() == expected
