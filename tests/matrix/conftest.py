import os
import sys
import tempfile
from pathlib import Path

import pytest

sys.path.insert(0, os.path.dirname(__file__))
from harness import ROOT, WineSession  # noqa: E402


def pytest_addoption(parser):
    parser.addoption("--builds", default="linux", help="comma-separated: linux, windows")
    parser.addoption("--linux-build", default=str(ROOT / "build" / "linux"))
    parser.addoption("--windows-build", default=str(ROOT / "build" / "windows"))
    parser.addoption("--update-golden", action="store_true", help="rewrite the golden logs from this run")


def pytest_generate_tests(metafunc):
    if "build" in metafunc.fixturenames:
        builds = metafunc.config.getoption("--builds").split(",")
        metafunc.parametrize("build", builds, scope="session")


@pytest.hookimpl(tryfirst=True)
def pytest_collection_modifyitems(items):
    # The Windows rows share one display and one prefix, and take the longest: with two workers
    # (pytest -n 2 --dist loadgroup) they go to one, and the Linux rows to the other, in order, so
    # that a silent Linux row finds the log of its interactive twin, which ran before it.
    for item in items:
        params = getattr(item, "callspec", None) and item.callspec.params
        if params and "row" in params:
            item.add_marker(pytest.mark.xdist_group("wine" if params.get("build") == "windows" else "linux"))


@pytest.fixture(scope="session")
def wine_session(request):
    """The display and prefix that every Windows row shares; made on the first Windows row."""
    work = Path(tempfile.mkdtemp(prefix="tavo-wine-"))
    session = WineSession(Path(request.config.getoption("--windows-build")).resolve(), work)
    yield session
    session.close()


@pytest.fixture
def work(tmp_path):
    return tmp_path
