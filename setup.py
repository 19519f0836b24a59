"""Builds the extension _segmora of the Python package with CMake: only the module's target
(bindings/python), which links the engine statically, for the interpreter that runs pip.
pyproject.toml holds the package's description; the version is project(VERSION) of
CMakeLists.txt, the one the library, the programs and the module carry.

CMAKE_BUILD_PARALLEL_LEVEL sets the compile jobs (default: the processors); CMAKE_ARGS adds
words to CMake's configure step."""

import os
import re
import shlex
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = os.path.dirname(os.path.abspath(__file__))


def project_version():
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as f:
        found = re.search(r"^project\([^)]*\bVERSION\s+([0-9][0-9.]*)", f.read(), re.M)
    if not found:
        raise RuntimeError("no project(... VERSION ...) in CMakeLists.txt")
    return found.group(1)


def pybind11_location():
    """pybind11's CMake files from its Python module when the environment has one (a build
    with isolation, conda); otherwise CMake finds the system's (Debian's pybind11-dev)."""
    try:
        import pybind11
    except ImportError:
        return []
    return ["-Dpybind11_DIR=" + pybind11.get_cmake_dir()]


class CMakeBuild(build_ext):
    """Configures a CMake build of its own and builds the target segmora_python."""

    def build_extension(self, ext):
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        os.makedirs(build, exist_ok=True)
        configure = [
            "cmake", "-S", SOURCE, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
            "-DPython3_EXECUTABLE=" + sys.executable,
            "-DSEGMORA_BUILD_PYTHON=ON", "-DSEGMORA_BUILD_TESTS=OFF",
            "-DSEGMORA_BUILD_MEX=OFF", "-DSEGMORA_INSTALL=OFF",
        ] + pybind11_location() + shlex.split(os.environ.get("CMAKE_ARGS", ""))
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", build, "--target", "segmora_python", "-j", jobs],
                       check=True)
        built = os.path.join(build, "python", "segmora", os.path.basename(self.get_ext_filename(
            ext.name)))
        if not os.path.exists(built):
            raise RuntimeError("CMake did not build " + built + " (is pybind11 installed, and "
                               "NumPy for " + sys.executable + "?)")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)


os.makedirs(os.path.join(SOURCE, "build-python"), exist_ok=True)
setup(
    version=project_version(),
    ext_modules=[Extension("segmora._segmora", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # setuptools' own build folder, apart from the CMake build folder `build`.
    options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}},
)
