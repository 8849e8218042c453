import os
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOL = os.path.join(ROOT, "..", "shared", "tools", "conformance.py")


@pytest.mark.skipif(not os.path.exists(TOOL), reason="conformance tool not present")
def test_conformance_corpus_passes():
    result = subprocess.run(
        [sys.executable, TOOL],
        cwd=ROOT,
        capture_output=True,
        text=True,
        timeout=600,
    )
    assert result.returncode == 0, result.stdout[-4000:] + result.stderr[-4000:]
