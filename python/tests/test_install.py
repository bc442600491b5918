"""The installed package imports and works from the install prefix alone."""

import os
import subprocess
import sys

import pytest


def test_the_installed_package_imports_from_the_prefix(tmp_path):
    try:
        cmake = os.environ["VEXA_PACKAGE_CMAKE"]
        build = os.environ["VEXA_PACKAGE_BUILD_DIR"]
        site = os.environ["VEXA_PACKAGE_PYTHON_INSTALL_DIR"]
    except KeyError as missing:
        raise pytest.UsageError(f"{missing} is not set; run the tests through ctest")
    prefix = tmp_path / "prefix"
    subprocess.run([cmake, "--install", build, "--component", "python", "--prefix", str(prefix)],
                   check=True, stdout=subprocess.DEVNULL)
    # Nothing of the build tree on the path: only the prefix.
    environment = {key: value for key, value in os.environ.items() if key != "PYTHONPATH"}
    environment["PYTHONPATH"] = str(prefix / site)
    script = ("import vexa_package as vp; "
              "print(vp.__file__); "
              "app = vp.Application(tiles=[vp.TileImage(segments=["
              "vp.Segment(address=0x4c000, memory_size=2, data=b'\\x07')])]); "
              "print(vp.Application.read(app.write()).tile_image(0).hex())")
    result = subprocess.run([sys.executable, "-c", script], env=environment, cwd=tmp_path,
                            check=True, capture_output=True, text=True)
    location, image = result.stdout.split()
    assert location == str(prefix / site / "vexa_package" / "__init__.py")
    assert image == "0700"
