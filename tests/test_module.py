import collections.abc as abc
import importlib.metadata
import inspect
import tomllib
import weakref
from pathlib import Path

import pytest

import quillon
from quillon import (
    DictItem,
    Document,
    Item,
    ItemsView,
    KeysView,
    ListItem,
    ScalarItem,
    ValuesView,
)

CLASS_NAMES = ["Document", "Item", "DictItem", "ListItem", "ScalarItem", "KeysView", "ValuesView", "ItemsView"]
NO_CONSTRUCTOR = [Item, DictItem, ListItem, ScalarItem, KeysView, ValuesView, ItemsView]
FINAL = [Document, DictItem, ListItem, ScalarItem, KeysView, ValuesView, ItemsView]

Py_TPFLAGS_MAPPING = 1 << 6
Py_TPFLAGS_BASETYPE = 1 << 10


def test_all_lists_the_classes_in_order():
    assert quillon.__all__ == CLASS_NAMES


def test_module_has_empty_docstring_and_only_classes():
    assert quillon.__doc__ == ""
    public = sorted(n for n in dir(quillon) if not n.startswith("_"))
    assert public == sorted(CLASS_NAMES)


def test_version_is_the_distribution_version():
    pyproject = Path(__file__).resolve().parent.parent / "pyproject.toml"
    with open(pyproject, "rb") as f:
        assert quillon.__version__ == tomllib.load(f)["project"]["version"]
    try:
        dist = importlib.metadata.distribution("quillon")
    except importlib.metadata.PackageNotFoundError:
        return
    module = Path(quillon.__file__).resolve()
    if any(Path(dist.locate_file(f)).resolve() == module for f in dist.files or ()):
        assert quillon.__version__ == dist.version


@pytest.mark.parametrize("name", CLASS_NAMES)
def test_class_names(name):
    cls = getattr(quillon, name)
    assert cls.__name__ == name
    assert cls.__qualname__ == name
    assert cls.__module__ == "quillon"
    assert repr(cls) == "<class 'quillon.%s'>" % name


@pytest.mark.parametrize(
    "cls, base",
    [
        (Document, object),
        (Item, object),
        (DictItem, Item),
        (ListItem, Item),
        (ScalarItem, Item),
        (KeysView, object),
        (ValuesView, object),
        (ItemsView, object),
    ],
)
def test_bases(cls, base):
    assert cls.__bases__ == (base,)


@pytest.mark.parametrize("cls", NO_CONSTRUCTOR, ids=lambda c: c.__name__)
def test_classes_without_constructor_cannot_be_called(cls):
    with pytest.raises(TypeError):
        cls()


@pytest.mark.parametrize("cls", FINAL, ids=lambda c: c.__name__)
def test_final_classes_cannot_be_subclassed(cls):
    assert not cls.__flags__ & Py_TPFLAGS_BASETYPE
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


def test_item_can_be_subclassed():
    sub = type("Sub", (Item,), {})
    assert issubclass(sub, Item)
    assert Item.__flags__ & Py_TPFLAGS_BASETYPE


def test_document_is_marked_as_mapping():
    assert Document.__flags__ & Py_TPFLAGS_MAPPING


@pytest.mark.parametrize("cls", [Item, ScalarItem, KeysView, ValuesView, ItemsView], ids=lambda c: c.__name__)
def test_references_and_views_are_not_marked_as_mappings(cls):
    assert not cls.__flags__ & Py_TPFLAGS_MAPPING


def test_document_has_no_instance_dict_or_weakref():
    doc = Document()
    with pytest.raises(AttributeError):
        doc.anything = 1
    with pytest.raises(TypeError):
        weakref.ref(doc)


@pytest.mark.parametrize("cls", CLASS_NAMES)
def test_instances_have_no_dict_or_weakref_slot(cls):
    attrs = vars(getattr(quillon, cls))
    assert "__dict__" not in attrs
    assert "__weakref__" not in attrs


def test_document_is_unhashable():
    with pytest.raises(TypeError):
        hash(Document())
    assert Document.__hash__ is None
    assert Item.__hash__ is None


@pytest.mark.parametrize(
    "cls, abstract",
    [
        (Document, abc.MutableMapping),
        (DictItem, abc.MutableMapping),
        (ListItem, abc.MutableSequence),
        (KeysView, abc.KeysView),
        (ValuesView, abc.ValuesView),
        (ItemsView, abc.ItemsView),
    ],
)
def test_registered_with_collections_abc(cls, abstract):
    assert issubclass(cls, abstract)
    # registration is virtual: no mixin methods are inherited
    assert abstract not in cls.__mro__


@pytest.mark.parametrize("cls", [Item, ScalarItem], ids=lambda c: c.__name__)
@pytest.mark.parametrize("abstract", [abc.Mapping, abc.Sequence, abc.Set])
def test_items_and_scalars_are_not_registered(cls, abstract):
    assert not issubclass(cls, abstract)


def test_document_instance_is_a_mutable_mapping():
    doc = Document.parse("a = 1\n")
    assert isinstance(doc, abc.MutableMapping)
    assert isinstance(doc, abc.Mapping)
    assert not isinstance(doc, abc.Sequence)


@pytest.mark.parametrize("cls", [DictItem, ListItem, ScalarItem], ids=lambda c: c.__name__)
def test_narrowed_classes_are_items(cls):
    assert issubclass(cls, Item)


def test_document_text_signature():
    assert Document.__text_signature__ == "(data=None)"
    assert str(inspect.signature(Document)) == "(data=None)"


ITEM_DOC = (
    "A live reference to a TOML value inside a Document.\n\n"
    "Items are obtained by indexing a Document or another Item:\n\n"
    '    port = doc["server"]["port"]\n'
    '    doc["server"]["port"] = 8080\n\n'
    "Every Item is one of three concrete subtypes \u2014 ``DictItem`` for tables,\n"
    "``ListItem`` for arrays, or ``ScalarItem`` for plain values \u2014 which can\n"
    "be narrowed with ``isinstance`` if needed.  Without narrowing, the full\n"
    "set of dict-like, list-like, and scalar methods is available directly\n"
    "on Item and will raise at runtime if called on the wrong kind.\n\n"
    "Under the hood, an Item is really a path into the Document. An Item can\n"
    "become stale when a mutation to the Document changes the value that the\n"
    "Item points at.  Using a stale Item raises a ``RuntimeError``."
)


@pytest.mark.parametrize(
    "cls, doc",
    [
        (
            Document,
            "A TOML document that preserves formatting when edited.\n\n"
            "Create an empty document with ``Document()``, or from a dict with\n"
            '``Document({"key": "value"})``.  To round-trip an existing TOML file\n'
            "use ``Document.parse(text)`` which retains comments and whitespace.",
        ),
        (Item, ITEM_DOC),
        (
            DictItem,
            "A TOML table or inline table.\n\n``isinstance(item, DictItem)`` and\n"
            "``isinstance(item, MutableMapping)`` both work.",
        ),
        (
            ListItem,
            "A TOML array or array of tables.\n\n``isinstance(item, ListItem)`` and\n"
            "``isinstance(item, MutableSequence)`` both work.",
        ),
        (ScalarItem, "A scalar TOML value (string, integer, float, boolean, datetime, date, or time)."),
        (KeysView, "A live view of the string keys in a TOML table (or the document root)."),
        (ValuesView, "A live view of the values in a TOML table (or the document root)."),
        (ItemsView, "A live view of the (key, value) pairs in a TOML table (or the document root)."),
    ],
    ids=lambda x: x.__name__ if isinstance(x, type) else "",
)
def test_class_docstrings(cls, doc):
    assert cls.__doc__ == doc


@pytest.mark.parametrize(
    "member, signature",
    [
        ("parse", "(text)"),
        ("as_toml", "($self)"),
        ("__copy__", "($self)"),
        ("__deepcopy__", "($self, _memo=None)"),
    ],
)
def test_document_member_signatures(member, signature):
    assert getattr(Document, member).__text_signature__ == signature


PARSE_DOC = (
    "Parse a TOML string into a Document, preserving formatting.\n\n"
    "This is the main entry point for editing existing TOML files:\n"
    "comments, whitespace, and style are retained so that only the\n"
    "values you change are affected when you call ``doc.as_toml()``."
)


@pytest.mark.parametrize(
    "member, doc",
    [
        ("parse", PARSE_DOC),
        ("as_toml", "Return the document serialised as a TOML string."),
        ("__copy__", None),
        ("__deepcopy__", None),
    ],
)
def test_document_member_docstrings(member, doc):
    assert getattr(Document, member).__doc__ == doc


def test_value_is_a_documented_read_only_property():
    prop = vars(Document)["value"]
    assert prop.__doc__ == "The entire document as a native Python dict."
    with pytest.raises(AttributeError):
        Document().value = {}


def test_parse_is_static():
    assert isinstance(vars(Document)["parse"], staticmethod)
    assert Document().parse("a = 1\n").value == {"a": 1}
