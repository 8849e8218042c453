"""The scripts in examples/ run, and each changes exactly the lines its job needs."""
import difflib
import os
import re
import runpy
import subprocess
import sys
import tomllib
from pathlib import Path

import pytest

import quillon
from quillon import Document

ROOT = Path(__file__).resolve().parent.parent
EXAMPLES = ROOT / "examples"


def python(*args):
    """Runs this interpreter with this build of quillon; returns its output."""
    env = dict(os.environ)
    package_parent = str(Path(quillon.__file__).resolve().parent.parent)
    env["PYTHONPATH"] = os.pathsep.join(p for p in (package_parent, env.get("PYTHONPATH")) if p)
    done = subprocess.run(
        [sys.executable, *args],
        capture_output=True, text=True, encoding="utf-8", env=env, timeout=60,
    )
    assert done.returncode == 0, done.stderr
    return done.stdout


def run(script, *args):
    return python(str(EXAMPLES / script), *args)


def sample(script):
    return runpy.run_path(str(EXAMPLES / script))["SAMPLE"]


def changed_lines(before, after):
    """(removed, added) lines, each sorted."""
    diff = list(difflib.ndiff(before.splitlines(), after.splitlines()))
    removed = sorted(line[2:] for line in diff if line.startswith("- "))
    added = sorted(line[2:] for line in diff if line.startswith("+ "))
    return removed, added


EDITS = [
    ("bump_version.py",
     ['version = "1.4.2"   # released 2026-11-30'],
     ['version = "1.4.3"   # released 2026-11-30']),
    ("add_dependency.py",
     [],
     ['    "httpx>=0.27",']),
    ("add_tool_table.py",
     [],
     sorted(["", "# Lint settings, shared with CI", "[tool.ruff]", "line-length = 100",
             'select = ["E", "F", "I"]'])),
    ("remove_table.py",
     sorted(["", "# Import sorting; ruff does this now.", "[tool.isort]", 'profile = "black"']),
     []),
    ("update_cargo_lock.py",
     ['checksum = "c8e3592472072e6e22e0a54d5904d9febf8508f65fb8552499a1abc7d1078c3a"',
      'version = "1.0.210"'],
     ['checksum = "6513c1ad0b11a9376da888e3e0baa0077f1aed55c17f50e7b2397136129fb88f"',
      'version = "1.0.215"']),
]


@pytest.mark.parametrize("script, removed, added", EDITS)
def test_edit_examples_change_only_their_lines(script, removed, added):
    if script == "add_dependency.py" and not hasattr(quillon.ListItem, "append"):
        pytest.skip("ListItem.append is not available in this build")
    out = run(script)
    assert changed_lines(sample(script), out) == (removed, added)
    # The result reads back the same here and in the standard library.
    assert tomllib.loads(out) == Document.parse(out).value


@pytest.mark.parametrize("part, version", [("patch", "1.4.3"), ("minor", "1.5.0"), ("major", "2.0.0")])
def test_bump_version_rewrites_a_file_in_place(tmp_path, part, version):
    path = tmp_path / "pyproject.toml"
    path.write_text(sample("bump_version.py"), encoding="utf-8")
    run("bump_version.py", str(path), part)
    assert tomllib.loads(path.read_text(encoding="utf-8"))["project"]["version"] == version


def test_read_values_applies_defaults():
    assert run("read_values.py").splitlines() == [
        "name = 'demo'",
        "python = '>=3.11'",
        "timeout = 2.5",
        "retries = 3",
        "verbose = False",
        "retries_item = 3",
    ]


def test_quickstart_runs():
    assert "round trip unchanged:" in run("quickstart.py")


def test_readme_example_prints_what_it_shows():
    code = re.search(r"```python\n(.*?)```", (ROOT / "README.md").read_text(encoding="utf-8"), re.S)[1]
    shown_toml = [line[2:] for line in code.splitlines() if line.startswith("# ")]
    shown_value = re.search(r"print\(doc\.value\) +# (\{.*\})", code)[1]
    assert python("-c", code).splitlines() == shown_toml + [shown_value]
