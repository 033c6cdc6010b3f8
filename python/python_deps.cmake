# What the Python module needs: an interpreter with numpy, its headers and
# pybind11 in its FindPython mode. Sets KESTRANE_PYTHON_FOUND. Included by
# python/CMakeLists.txt, and may be included earlier by the top level to
# decide whether to build the module; both are harmless.
if(NOT Python3_EXECUTABLE)
  # The first python3 on PATH that imports numpy: a pyenv or virtualenv
  # interpreter without it would get a module its tests and Blender cannot use.
  string(REPLACE ":" ";" kestrane_path_dirs "$ENV{PATH}")
  foreach(dir ${kestrane_path_dirs} /usr/bin)
    if(EXISTS "${dir}/python3")
      execute_process(COMMAND "${dir}/python3" -c "import numpy"
        RESULT_VARIABLE kestrane_numpy_status OUTPUT_QUIET ERROR_QUIET)
      if(kestrane_numpy_status EQUAL 0)
        set(Python3_EXECUTABLE "${dir}/python3" CACHE FILEPATH "The Python interpreter the module is built for")
        break()
      endif()
    endif()
  endforeach()
endif()
find_package(Python3 QUIET COMPONENTS Interpreter Development.Module)
if(Python3_FOUND)
  # Python3 found first puts pybind11 in its FindPython mode, on the same
  # interpreter.
  find_package(pybind11 CONFIG QUIET)
endif()
if(Python3_FOUND AND pybind11_FOUND)
  set(KESTRANE_PYTHON_FOUND TRUE)
else()
  set(KESTRANE_PYTHON_FOUND FALSE)
endif()
