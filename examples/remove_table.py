"""Remove a table, such as [tool.isort], from a TOML file.

    python examples/remove_table.py [path/to/file.toml] [dotted.name]

The table goes together with its entries and the comment lines directly
above its header; everything around it stays as it was.
"""
import sys
from pathlib import Path

from quillon import DictItem, Document

SAMPLE = """\
[project]
name = "demo"

# Import sorting; ruff does this now.
[tool.isort]
profile = "black"

[tool.black]
line-length = 88
"""


def remove_table(text: str, dotted_name: str) -> str:
    doc = Document.parse(text)
    *parents, name = dotted_name.split(".")
    table: Document | DictItem = doc
    for part in parents:
        child = table.get(part)
        if not isinstance(child, DictItem):
            return text  # nothing to remove
        table = child
    table.pop(name, None)
    return doc.as_toml()


def main(argv: list[str]) -> None:
    name = argv[2] if len(argv) > 2 else "tool.isort"
    if len(argv) > 1:
        path = Path(argv[1])
        path.write_text(remove_table(path.read_text(encoding="utf-8"), name), encoding="utf-8")
    else:
        print(remove_table(SAMPLE, name), end="")


if __name__ == "__main__":
    main(sys.argv)
