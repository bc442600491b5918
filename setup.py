"""Builds the Python package `vexa_package` with the project's CMake build; see pyproject.toml.

setuptools compiles nothing itself: its extension build configures this CMake project with
the bindings on (tests, examples and tools off) in setuptools' temporary directory under
build/python/, builds the compiled module and installs the CMake component "python" (the
package's modules, its type information and the compiled module) where the wheel is made
from. Everything setuptools writes stays under build/python/.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pybind11
from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent
BUILD_BASE = Path("build", "python")


def cmake_project_version() -> str:
    """The version in the `project()` call of the top CMakeLists.txt."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(\s*vexa_package\s+VERSION\s+([0-9]+(?:\.[0-9]+)*)", text)
    if match is None:
        raise RuntimeError("CMakeLists.txt declares no version of the vexa_package project")
    return match.group(1)


class CMakeBuild(build_ext):
    """Builds and installs the package with CMake instead of compiling the extension."""

    def build_extension(self, ext: Extension) -> None:
        if self.inplace:
            raise RuntimeError("vexa_package cannot be built in place (editable install); "
                               "install it with pip install .")
        build = Path(self.build_temp).resolve() / "cmake"
        # The directory the wheel is made from; the package goes into its vexa_package/.
        destination = Path(self.get_ext_fullpath(ext.name)).resolve().parent.parent
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DVEXA_PACKAGE_BUILD_PYTHON=ON",
            "-DVEXA_PACKAGE_BUILD_TESTS=OFF",
            "-DVEXA_PACKAGE_BUILD_EXAMPLES=OFF",
            "-DVEXA_PACKAGE_BUILD_TOOLS=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
            f"-Dpybind11_DIR={pybind11.get_cmake_dir()}",
            "-DVEXA_PACKAGE_PYTHON_INSTALL_DIR=.",
        ]
        # The generator is chosen once; a configured tree keeps its own.
        if shutil.which("ninja") and not (build / "CMakeCache.txt").exists():
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "_vexa_package",
                        "--parallel", str(os.cpu_count() or 1)], check=True)
        # Files of an earlier build that the package no longer has must not reach the wheel.
        shutil.rmtree(destination / "vexa_package", ignore_errors=True)
        subprocess.run(["cmake", "--install", str(build), "--component", "python",
                        "--prefix", str(destination)], check=True)


BUILD_BASE.mkdir(parents=True, exist_ok=True)
setup(
    version=cmake_project_version(),
    packages=[],
    ext_modules=[Extension("vexa_package._vexa_package", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": str(BUILD_BASE)},
             "egg_info": {"egg_base": str(BUILD_BASE)}},
)
