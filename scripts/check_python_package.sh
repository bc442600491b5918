#!/usr/bin/env bash
# Installs the Python package the way the README says, with pip into a fresh virtual
# environment made from Debian's Python, and checks that installed copy from outside the
# source tree: the Python tests, the stubs of the compiled module against the module
# (stubtest), and mypy --strict on the package and on a typed program. Then builds a wheel
# with `python3 -m build` and checks that it holds every file of the package.
#
# CTest runs it as the test python_package, whose environment names the programs the tests
# use (VEXA_PACKAGE_SAMPLE_FILES and the others python/CMakeLists.txt sets).
# VEXA_PACKAGE_PYTHON names the interpreter (default /usr/bin/python3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
python=${VEXA_PACKAGE_PYTHON:-/usr/bin/python3}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unset PYTHONPATH

echo "-- pip install into a fresh virtual environment"
"$python" -m venv --system-site-packages "$scratch/venv"
venv_python=$scratch/venv/bin/python
(cd "$root" && "$venv_python" -m pip install --no-build-isolation --no-index --quiet .)

# From here on nothing of the source tree is on the path: the tests are a copy.
cp -r "$root/python/tests" "$scratch/tests"
cd "$scratch"
"$venv_python" - "$scratch/venv" <<'PYTHON'
import importlib.metadata
import sys
from pathlib import Path

import vexa_package

location = Path(vexa_package.__file__)
print(f"vexa_package {vexa_package.__version__} from {location.parent}")
if not location.is_relative_to(sys.argv[1]):
    sys.exit("check_python_package: vexa_package was not imported from the environment")
if importlib.metadata.version("vexa_package") != vexa_package.__version__:
    sys.exit("check_python_package: the distribution's version is not the library's")
PYTHON

echo "-- the Python tests against the installed package"
"$venv_python" -m pytest -p no:cacheprovider -q tests

echo "-- type information"
"$venv_python" -m mypy.stubtest --mypy-config-file "$root/pyproject.toml" vexa_package._vexa_package
"$venv_python" -m mypy --config-file "$root/pyproject.toml" -p vexa_package
"$venv_python" -m mypy --config-file "$root/pyproject.toml" tests/typed_usage.py

echo "-- wheel"
(cd "$root" && "$python" -m build --wheel --no-isolation --outdir "$scratch/dist" >/dev/null)
"$python" - "$root/python/vexa_package" "$scratch"/dist/*.whl <<'PYTHON'
import sys
import zipfile
from pathlib import Path

source, wheel = Path(sys.argv[1]), sys.argv[2]
names = zipfile.ZipFile(wheel).namelist()
packaged = {Path(name).name for name in names if name.startswith("vexa_package/")}
missing = {path.name for path in source.iterdir() if path.is_file()} - packaged
modules = [name for name in packaged if name.startswith("_vexa_package.") and name.endswith(".so")]
print(f"{Path(wheel).name}: {len(names)} files")
if missing or len(modules) != 1:
    sys.exit(f"check_python_package: the wheel lacks {sorted(missing) or 'the compiled module'}")
PYTHON
echo "check_python_package: ok"
