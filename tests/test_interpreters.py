"""Every module object (one per interpreter, and one more after each re-import)
has its own classes, and its objects keep finding them."""

import importlib
import inspect
import os
import sys
import textwrap

import pytest

import quillon

SOURCE = 'a = 1\nwhen = 2024-05-06T07:08:09Z\n\n[t]\nk = "v"  # note\n\n[[l]]\nx = 1\n'


def exercise(q, doc):
    """Uses each route by which an operation finds the classes of `q`, the
    module that made `doc` (parsed from SOURCE)."""
    import datetime

    t = doc["t"]
    assert isinstance(doc, q.Document) and isinstance(t, q.DictItem)
    assert isinstance(t["k"], q.ScalarItem) and isinstance(doc["l"], q.ListItem)
    assert isinstance(doc.keys(), q.KeysView) and isinstance(t.values(), q.ValuesView)
    assert isinstance(t.items(), q.ItemsView) and list(t.keys()) == ["k"]
    assert doc["when"].value == datetime.datetime(2024, 5, 6, 7, 8, 9, tzinfo=datetime.timezone.utc)

    merged = doc | {"b": 2}
    assert isinstance(merged, q.Document) and merged.value["b"] == 2 and "b" not in doc
    assert isinstance(t | {"m": 3}, q.DictItem) and isinstance(doc["l"] + doc["l"], q.ListItem)
    assert isinstance(doc["l"] * 2, q.ListItem) and isinstance(q.Document(), q.Document)
    for cls, text in [(q.DictItem, "{p = 1}"), (q.ListItem, "[1]"), (q.ScalarItem, "0xff")]:
        assert isinstance(cls.parse(text), cls) and isinstance(q.Item.parse(text), cls)

    doc["t"]["k"] = 5
    doc["copy"] = t
    doc |= {"c": [1, 2]}
    assert doc["copy"].value == {"k": 5} and isinstance(doc["c"], q.ListItem)
    assert q.Document.parse(doc.as_toml()).value == doc.value
    assert doc.as_toml().startswith("a = 1\nwhen = 2024-05-06T07:08:09Z\n")


def _interpreters_module():
    for name in ("_interpreters", "_xxsubinterpreters"):
        try:
            return importlib.import_module(name)
        except ImportError:
            pass
    pytest.skip("this interpreter offers no sub-interpreters to Python code")


def run_in_subinterpreter(script, own_gil=False):
    """Runs `script` in a new sub-interpreter, destroyed afterwards; the text
    of the exception it ended with, or None."""
    interpreters = _interpreters_module()
    if hasattr(interpreters, "new_config"):
        interp = interpreters.create("isolated" if own_gil else "legacy")
    else:
        interp = interpreters.create(isolated=own_gil)
    try:
        failure = interpreters.run_string(interp, script)
        return None if failure is None else failure.formatted
    except interpreters.RunFailedError as error:
        return str(error)
    finally:
        interpreters.destroy(interp)


def importing_script():
    package_root = os.path.dirname(os.path.dirname(quillon.__file__))
    return f"import sys\nsys.path.insert(0, {package_root!r})\nimport quillon\n"


def test_subinterpreters_have_their_own_classes():
    doc = quillon.Document.parse(SOURCE)
    table = doc["t"]
    script = (
        importing_script()
        + textwrap.dedent(inspect.getsource(exercise))
        + f"exercise(quillon, quillon.Document.parse({SOURCE!r}))\n"
    )
    for _ in range(2):
        assert run_in_subinterpreter(script) is None
    assert isinstance(table, quillon.DictItem)
    exercise(quillon, doc)
    exercise(quillon, quillon.Document.parse(SOURCE))


@pytest.mark.skipif(sys.version_info < (3, 12), reason="one GIL per interpreter came with 3.12")
def test_an_interpreter_with_its_own_gil_refuses_the_module():
    failure = run_in_subinterpreter(importing_script(), own_gil=True)
    assert failure is not None and "ImportError" in failure and "not support loading in subinterpreters" in failure


def test_a_reimported_module_and_the_first_one_both_work(monkeypatch):
    first_doc = quillon.Document.parse(SOURCE)
    monkeypatch.delitem(sys.modules, "quillon")
    fresh = importlib.import_module("quillon")
    assert fresh is not quillon and fresh.DictItem is not quillon.DictItem
    fresh_doc = fresh.Document.parse(SOURCE)
    exercise(quillon, first_doc)
    exercise(fresh, fresh_doc)
    exercise(quillon, quillon.Document.parse(SOURCE))
    assert not isinstance(first_doc, fresh.Document)

    # Objects of the two modules mix, each known through its own classes.
    mixed = first_doc | fresh_doc
    assert isinstance(mixed, quillon.Document) and mixed.value == fresh_doc.value
    fresh_doc["from_first"] = first_doc["t"]
    assert isinstance(fresh_doc["from_first"], fresh.DictItem)
    assert fresh_doc["from_first"].value == first_doc["t"].value
