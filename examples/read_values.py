"""Read nested values with defaults, without editing anything.

    python examples/read_values.py [path/to/pyproject.toml]

`Document.value` gives the whole document as plain dicts and lists, which
suits reading; `get` on a Document or DictItem gives a live Item (or the
default) when the result is to be edited afterwards.
"""
import sys
from pathlib import Path
from typing import Any

from quillon import DictItem, Document

SAMPLE = """\
[project]
name = "demo"
requires-python = ">=3.11"

[tool.demo]
timeout = 2.5
retries = 3
"""


def lookup(data: dict[str, Any], dotted: str, default: Any = None) -> Any:
    """The value at a dotted path of plain dicts, or the default."""
    node: Any = data
    for part in dotted.split("."):
        try:
            node = node[part]
        except (KeyError, TypeError):  # missing, or not a table
            return default
    return node


def summary(text: str) -> dict[str, Any]:
    doc = Document.parse(text)
    data = doc.value
    settings = {
        "name": lookup(data, "project.name", "unnamed"),
        "python": lookup(data, "project.requires-python", "any"),
        "timeout": lookup(data, "tool.demo.timeout", 10.0),
        "retries": lookup(data, "tool.demo.retries", 0),
        "verbose": lookup(data, "tool.demo.verbose", False),
    }
    # The same through live Items: `get` returns the Item or the default.
    tool = doc.get("tool")
    demo = tool.get("demo") if isinstance(tool, DictItem) else None
    if isinstance(demo, DictItem):
        retries = demo.get("retries")
        settings["retries_item"] = retries.value if retries is not None else 0
    return settings


def main(argv: list[str]) -> None:
    text = Path(argv[1]).read_text(encoding="utf-8") if len(argv) > 1 else SAMPLE
    for key, value in summary(text).items():
        print(f"{key} = {value!r}")


if __name__ == "__main__":
    main(sys.argv)
