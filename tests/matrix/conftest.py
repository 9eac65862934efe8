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


# Runs spend most of their time waiting: on Wine, on the launcher's own pauses, on a server that
# trickles. So the Windows rows are spread over several prefixes and the Linux rows over a few
# workers of their own, each group on a worker of its own (pytest -n WINE_PREFIXES+LINUX_WORKERS
# --dist loadgroup).
WINE_PREFIXES = int(os.environ.get("TAVO_WINE_PREFIXES", "2"))
LINUX_WORKERS = int(os.environ.get("TAVO_LINUX_WORKERS", "2"))


@pytest.hookimpl(tryfirst=True)
def pytest_collection_modifyitems(items):
    # A silent row runs on the worker of its interactive twin, after it, and finds its log there.
    from rows import SILENT
    groups = {}
    for item in items:
        params = getattr(item, "callspec", None) and item.callspec.params
        if not params or "row" not in params:
            continue
        kind, workers = ("wine", WINE_PREFIXES) if params.get("build") == "windows" else ("linux", LINUX_WORKERS)
        twin = (kind, params["row"].name.removesuffix(SILENT))
        count = sum(k == kind for k, _ in groups)
        group = groups.setdefault(twin, "%s-%d" % (kind, count % workers))
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
