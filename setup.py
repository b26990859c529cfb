"""Builds the pmedian Python module with pip: the native part compiled from
the same sources as the C++ library, linked with the CLP LP solver."""

import glob
import subprocess

from pybind11.setup_helpers import Pybind11Extension, build_ext
from setuptools import setup


def pkg_config(*flags):
    return subprocess.run(["pkg-config", *flags, "clp"], capture_output=True, text=True, check=True).stdout.split()


def library_sources():
    """The library's sources: every source under src/ but the programs' own."""
    programs = {"src/main.cpp", "src/certify/main.cpp", "src/certify/command_line.cpp"}
    found = []
    for pattern in ["src/*.cpp", "src/kernels/*.cpp", "src/certify/*.cpp", "src/inputs/*.cpp", "src/library/*.cpp"]:
        found += [path for path in sorted(glob.glob(pattern)) if path not in programs]
    return found


core = Pybind11Extension(
    "pmedian._core",
    ["python/core.cpp"] + library_sources(),
    include_dirs=["src", "include"] + [flag[2:] for flag in pkg_config("--cflags-only-I")],
    extra_compile_args=["-ffp-contract=off", "-O2"],
    extra_link_args=pkg_config("--libs"),
    cxx_std=20,
)

setup(
    packages=["pmedian"],
    package_dir={"": "python"},
    ext_modules=[core],
    cmdclass={"build_ext": build_ext},
    # Apart from CMake's build/ directory.
    options={"build": {"build_base": "build-python"}},
)
