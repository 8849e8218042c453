"""Re-entrant access: Python code that runs inside an operation (an __eq__,
__repr__, __index__ or items() of an argument) and touches the same document
either works or fails with the access-guard error, and never corrupts it."""

import collections.abc
import datetime

import pytest

from quillon import Document

SOURCE = "n = 1\narr = [1, 2, 3]\n[t]\nx = 1\n"


@pytest.fixture
def doc():
    return Document.parse(SOURCE)


class Writes:
    """Compares by writing into the document."""

    def __init__(self, doc):
        self.doc = doc

    def __eq__(self, other):
        self.doc["n"] = 99
        return False

    __hash__ = None


class Reads:
    """Compares by reading the document; records what it saw."""

    def __init__(self, doc):
        self.doc = doc
        self.seen = []

    def __eq__(self, other):
        self.seen.append(self.doc["t"]["x"].value)
        return False

    __hash__ = None


@pytest.mark.parametrize(
    "operation",
    [
        lambda d, w: w in d["arr"],
        lambda d, w: d["t"] == {"x": w},
        lambda d, w: d == {"n": w, "arr": [1, 2, 3], "t": {"x": 1}},
        lambda d, w: d["arr"] == [w, 2, 3],
    ],
)
def test_write_during_a_read_is_refused(doc, operation):
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        operation(doc, Writes(doc))
    assert doc.as_toml() == SOURCE
    doc["n"] = 2  # the guard was released
    assert doc["n"].value == 2


@pytest.mark.parametrize(
    "operation",
    [
        lambda d, r: r in d["arr"],
        lambda d, r: d["t"] == {"x": r},
        lambda d, r: d == {"n": r, "arr": [1, 2, 3], "t": {"x": 1}},
    ],
)
def test_read_during_a_read_is_allowed(doc, operation):
    reader = Reads(doc)
    assert not operation(doc, reader)
    assert reader.seen and set(reader.seen) == {1}


class WritingRepr:
    def __init__(self, doc):
        self.doc = doc

    def __repr__(self):
        self.doc["n"] = 5
        return "never shown"


@pytest.mark.parametrize("operation", [lambda d, k: d["t"][k], lambda d, k: d["t"].__delitem__(k)])
def test_repr_that_writes_cannot_change_the_document(doc, operation):
    with pytest.raises(KeyError) as info:
        operation(doc, WritingRepr(doc))
    assert info.value.args == ("?",)
    assert doc.as_toml() == SOURCE


def test_index_that_edits_the_document_runs_before_access(doc):
    class Index:
        def __index__(self):
            doc["arr"][0] = 7
            return 0

    assert doc["arr"][Index()].value == 7


def test_index_that_replaces_the_container_makes_the_reference_stale(doc):
    arr = doc["arr"]

    class Index:
        def __index__(self):
            doc["arr"] = [4, 5]
            return 0

    with pytest.raises(RuntimeError, match="^stale: "):
        arr[Index()]
    with pytest.raises(RuntimeError, match="^stale: "):
        arr[Index()] = 1
    assert doc["arr"].value == [4, 5]


def test_conversion_code_runs_before_the_document_is_borrowed(doc):
    class Zone(datetime.tzinfo):
        def utcoffset(self, dt):
            doc["n"] = 42  # allowed: no access is held yet
            return datetime.timedelta(0)

    doc["when"] = datetime.datetime(2024, 1, 1, tzinfo=Zone())
    assert doc["n"].value == 42
    assert doc["when"].as_toml() == "2024-01-01T00:00:00+00:00"


def test_update_source_that_edits_the_document_while_read(doc):
    class Source:
        def keys(self):
            return ["x"]

        def items(self):
            doc["n"] = 10
            return [("n", 3)]

        def __getitem__(self, key):
            raise KeyError(key)

    collections.abc.Mapping.register(Source)
    doc.update(Source())
    assert doc["n"].value == 3
    assert Document.parse(doc.as_toml()).value == doc.value


def test_failed_operations_release_access(doc):
    for _ in range(3):
        with pytest.raises(KeyError):
            doc["missing"]
        with pytest.raises(TypeError):
            doc["t"][0] = 1
        with pytest.raises(RuntimeError):
            Writes(doc) in doc["arr"]
    doc["n"] = 3
    doc["t"]["x"] = 4
    assert doc.value == {"n": 3, "arr": [1, 2, 3], "t": {"x": 4}}
