"""Add a [tool.x] table, with a comment above it, to a pyproject.toml.

    python examples/add_tool_table.py [path/to/pyproject.toml]

New tables are written after the existing ones. A block comment is set
through the new table's `comment`; its leading line break keeps a blank line
between the previous table and the comment.
"""
import sys
from pathlib import Path

from quillon import Document, DictItem

SAMPLE = """\
[project]
name = "demo"

[tool.black]
line-length = 88
"""


def add_tool_table(text: str) -> str:
    doc = Document.parse(text)
    tool = doc.setdefault("tool", {})
    if not isinstance(tool, DictItem):
        raise ValueError("tool is not a table")
    # A [tool] that exists only to hold [tool.*] tables has no header of its
    # own; keep it that way when this call had to create it.
    tool.implicit = True
    tool["ruff"] = {"line-length": 100, "select": ["E", "F", "I"]}
    tool["ruff"].comment = "\n# Lint settings, shared with CI"
    return doc.as_toml()


def main(argv: list[str]) -> None:
    if len(argv) > 1:
        path = Path(argv[1])
        path.write_text(add_tool_table(path.read_text(encoding="utf-8")), encoding="utf-8")
    else:
        print(add_tool_table(SAMPLE), end="")


if __name__ == "__main__":
    main(sys.argv)
