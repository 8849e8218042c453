import pytest

import quillon


@pytest.fixture
def parse():
    """Parse TOML text into a Document."""
    return quillon.Document.parse


@pytest.fixture
def value_of():
    """Plain Python value of a whole TOML text."""
    return lambda text: quillon.Document.parse(text).value

