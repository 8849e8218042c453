"""Add a dependency to a pyproject.toml whose list is written one per line.

    python examples/add_dependency.py [path/to/pyproject.toml] [requirement]

The new requirement goes at the end of `dependencies`, on its own line with
the same indentation as the others; the comments on the existing lines stay
with their entries.
"""
import sys
from pathlib import Path

from quillon import DictItem, Document, ListItem

SAMPLE = """\
[project]
name = "demo"
dependencies = [
    "requests>=2.31",  # HTTP client
    "rich",            # terminal output
]
"""


def add_dependency(text: str, requirement: str) -> str:
    doc = Document.parse(text)
    project = doc["project"]
    if not isinstance(project, DictItem):
        raise ValueError("project is not a table")
    dependencies = project.get("dependencies")
    if dependencies is None:
        project["dependencies"] = [requirement]
    elif isinstance(dependencies, ListItem):
        if requirement not in dependencies.value:
            dependencies.append(requirement)
    else:
        raise ValueError("project.dependencies is not an array")
    return doc.as_toml()


def main(argv: list[str]) -> None:
    requirement = argv[2] if len(argv) > 2 else "httpx>=0.27"
    if len(argv) > 1:
        path = Path(argv[1])
        path.write_text(add_dependency(path.read_text(encoding="utf-8"), requirement), encoding="utf-8")
    else:
        print(add_dependency(SAMPLE, requirement), end="")


if __name__ == "__main__":
    main(sys.argv)
