import os
import sys
import tempfile
from pathlib import Path

import pytest

sys.path.insert(0, os.path.dirname(__file__))
from harness import ROOT, MatrixWineSession  # noqa: E402


def pytest_addoption(parser):
    parser.addoption("--builds", default="linux", help="comma-separated: linux, windows")
    parser.addoption("--linux-build", default=str(ROOT / "build" / "linux"))
    parser.addoption("--windows-build", default=str(ROOT / "build" / "windows"))
    parser.addoption("--update-golden", action="store_true", help="rewrite the golden logs from this run")


def pytest_generate_tests(metafunc):
    if "build" in metafunc.fixturenames:
        builds = metafunc.config.getoption("--builds").split(",")
        metafunc.parametrize("build", builds, scope="session")


# Windows rows spend most of their time waiting on Wine and on the launcher's own pauses, so they
# are spread over several prefixes, each on a worker of its own (pytest -n WINE_PREFIXES+1
# --dist loadgroup); the Linux rows, which are quick, run in order on one more worker.
WINE_PREFIXES = int(os.environ.get("TAVO_WINE_PREFIXES", "2"))


@pytest.hookimpl(tryfirst=True)
def pytest_collection_modifyitems(items):
    # A silent row runs on the worker of its interactive twin, after it, and finds its log there.
    from rows import SILENT
    wine_groups = {}
    for item in items:
        params = getattr(item, "callspec", None) and item.callspec.params
        if not params or "row" not in params:
            continue
        if params.get("build") != "windows":
            item.add_marker(pytest.mark.xdist_group("linux"))
            continue
        twin = params["row"].name.removesuffix(SILENT)
        group = wine_groups.setdefault(twin, "wine-%d" % (len(wine_groups) % WINE_PREFIXES))
        item.add_marker(pytest.mark.xdist_group(group))


@pytest.fixture(scope="session")
def wine_session(request):
    """The display and prefix that the Windows rows of this worker share; made on its first Windows row."""
    work = Path(tempfile.mkdtemp(prefix="tavo-wine-"))
    build = Path(request.config.getoption("--windows-build")).resolve()
    worker = getattr(request.config, "workerinput", {}).get("workerid", "main")
    session = MatrixWineSession(build, work, prefix=build / ("wineprefix-matrix-" + worker))
    yield session
    session.close()


@pytest.fixture
def work(tmp_path):
    return tmp_path
