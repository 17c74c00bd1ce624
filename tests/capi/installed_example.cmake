# Installs the build into a fresh prefix and uses it as a user would: builds
# the C example and the VISA program with pkg-config, builds both and the C++
# example in a project of their own with find_package, runs the driver's in
# simulation (visa_library.pyvisa_client runs the VISA program), imports the
# installed Python package and runs the Python example, and installs the
# package with pip into a virtual environment and runs it there.
# Inputs: BUILD_DIR, PREFIX, SOURCE_DIR, C_COMPILER, CXX_COMPILER, LINKER,
# C_FLAGS, CXX_FLAGS, LINK_FLAGS, PYTHON (empty: no Python part), PYTHON_DIR
# (the package's folder in the prefix), PYTHON_ENVIRONMENT (what the
# interpreter needs to load this build's library).

include(${CMAKE_CURRENT_LIST_DIR}/../support/installed_prefix.cmake)

install_into("${PREFIX}" hvzelta)
# The VISA header is the library's own, in a folder of its own: never a system visa.h.
if(NOT EXISTS "${PREFIX}/include/hvzvisa/visa.h" OR EXISTS "${PREFIX}/include/visa.h")
  message(FATAL_ERROR "visa.h is not installed under include/hvzvisa alone")
endif()

separate_arguments(c_flags UNIX_COMMAND "${C_FLAGS}")
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")
foreach(program hvzelta:ac_source hvzvisa:visa_query)
  string(REPLACE ":" ";" program "${program}")
  list(GET program 0 package)
  list(GET program 1 example)
  pkg_config(cflags ${package} --cflags)
  pkg_config(libs ${package} --libs)
  pkg_config(libdir ${package} --variable=libdir)
  run("${C_COMPILER}" -std=c99 -Wall -Wextra -Wpedantic -Werror ${c_flags} ${cflags}
      -c "${SOURCE_DIR}/examples/c/${example}.c" -o "${PREFIX}/${example}.o")
  run("${LINKER}" ${c_flags} ${link_flags} "${PREFIX}/${example}.o" ${libs} "-Wl,-rpath,${libdir}"
      -o "${PREFIX}/${example}")
endforeach()
run("${PREFIX}/ac_source")
message("pkg-config, C:\n${output}")

# find_package
set(consumer "${PREFIX}/consumer")
run(${CMAKE_COMMAND} -S "${SOURCE_DIR}/tests/capi/installed_consumer" -B "${consumer}" -G Ninja
    "-DCMAKE_PREFIX_PATH=${PREFIX}" "-DEXAMPLES_DIR=${SOURCE_DIR}/examples"
    "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
    "-DCMAKE_C_FLAGS=${C_FLAGS} -Wall -Werror" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS} -Wall -Werror"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build "${consumer}")
foreach(example ac_source ac_source_cpp)
  run("${consumer}/${example}")
  message("find_package, ${example}:\n${output}")
endforeach()

# Runs the Python example with `python` behind the command that follows (an
# environment), once the package it imports is found under `package_root` and
# the library the package finds under the prefix.
function(run_python_example package_root python)
  run(${ARGN} ${python} -c
      "import os, hvzelta, hvzelta._library as l\nprint(hvzelta.__file__)\nprint(os.path.normpath(l.candidates()[0]))")
  string(REPLACE "\n" ";" found "${output}")
  list(GET found 0 package)
  list(GET found 1 library)
  string(FIND "${package}" "${package_root}/" package_at)
  string(FIND "${library}" "${PREFIX}/" library_at)
  if(NOT package_at EQUAL 0 OR NOT library_at EQUAL 0)
    message(FATAL_ERROR "The Python package is not the installed one or did not find the installed library:\n${output}")
  endif()
  run(${ARGN} ${python} "${SOURCE_DIR}/examples/python/ac_source.py")
  message("Python under ${package_root}:\n${output}")
endfunction()

if(PYTHON)
  # PYTHONPATH below stands in for the prefix being the interpreter's own;
  # first make sure it names nothing but a folder the interpreter searches
  # under that prefix, which a user installing there relies on.
  run(${PYTHON} -c "import site, sys\nprint(sys.argv[1] in site.getsitepackages([sys.argv[2]]))"
      "${PREFIX}/${PYTHON_DIR}" "${PREFIX}")
  if(NOT output STREQUAL "True")
    message(FATAL_ERROR "${PYTHON} does not search ${PREFIX}/${PYTHON_DIR} under the prefix ${PREFIX}")
  endif()
  run_python_example("${PREFIX}" ${PYTHON} ${CMAKE_COMMAND} -E env --unset=HVZELTA_LIBRARY
                     "PYTHONPATH=${PREFIX}/${PYTHON_DIR}" ${PYTHON_ENVIRONMENT})

  # pip into a virtual environment, offline, with the system's setuptools:
  # the package is built against the header pkg-config names and loads the
  # library pkg-config names, with no PYTHONPATH. A copy of python/ keeps the
  # build out of the sources and the source tree's header out of reach.
  set(venv "${PREFIX}/venv")
  file(COPY "${SOURCE_DIR}/python/" DESTINATION "${PREFIX}/python-src" PATTERN tests EXCLUDE)
  run(${PYTHON} -m venv --system-site-packages "${venv}")
  set(venv_env ${CMAKE_COMMAND} -E env --unset=HVZELTA_LIBRARY --unset=PYTHONPATH "PKG_CONFIG_PATH=${pc_dir}")
  run(${venv_env} "${venv}/bin/python" -m pip install --no-build-isolation --no-index --no-deps --quiet
      "${PREFIX}/python-src")
  run_python_example("${venv}" "${venv}/bin/python" ${venv_env} ${PYTHON_ENVIRONMENT})
endif()
