# Installs the build into a fresh prefix and builds the VISA example against
# it as a VISA user would: `pkg-config --cflags --libs hvzvisa`, <visa.h>.
# Another test (python.pyvisa_client) runs the program and loads the
# installed library into PyVISA.
# Inputs: BUILD_DIR, PREFIX, SOURCE_DIR, C_COMPILER, CXX_COMPILER, LINKER, C_FLAGS, LINK_FLAGS.

include(${CMAKE_CURRENT_LIST_DIR}/../support/installed_prefix.cmake)

install_into("${PREFIX}" hvzvisa)
pkg_config(cflags hvzvisa --cflags)
pkg_config(libs hvzvisa --libs)
pkg_config(libdir hvzvisa --variable=libdir)

# The header is the library's own, in a folder of its own: never a system visa.h.
if(NOT EXISTS "${PREFIX}/include/hvzvisa/visa.h" OR EXISTS "${PREFIX}/include/visa.h")
  message(FATAL_ERROR "visa.h is not installed under include/hvzvisa alone")
endif()

separate_arguments(c_flags UNIX_COMMAND "${C_FLAGS}")
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")
run("${C_COMPILER}" -std=c99 -Wall -Wextra -Wpedantic -Werror ${c_flags} ${cflags}
    -c "${SOURCE_DIR}/examples/c/visa_query.c" -o "${PREFIX}/visa_query.o")
run("${LINKER}" ${c_flags} ${link_flags} "${PREFIX}/visa_query.o" ${libs} "-Wl,-rpath,${libdir}"
    -o "${PREFIX}/visa_query")

# find_package(hvzvisa) gives the imported target. A sanitized build links
# through the C++ driver, which brings the sanitizers' C++ runtime that the
# library's checks need.
file(WRITE "${PREFIX}/consumer/CMakeLists.txt" "cmake_minimum_required(VERSION 3.25)\nproject(consumer C CXX)\n"
     "find_package(hvzvisa REQUIRED)\nadd_executable(visa_query ${SOURCE_DIR}/examples/c/visa_query.c)\n"
     "target_link_libraries(visa_query PRIVATE hvzvisa::hvzvisa)\n"
     "if(CMAKE_C_FLAGS MATCHES \"-fsanitize\")\n  set_target_properties(visa_query PROPERTIES LINKER_LANGUAGE CXX)\nendif()\n")
run(${CMAKE_COMMAND} -S "${PREFIX}/consumer" -B "${PREFIX}/consumer/build" -G Ninja "-DCMAKE_PREFIX_PATH=${PREFIX}"
    "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
    "-DCMAKE_C_FLAGS=${C_FLAGS} -Wall -Werror" "-DCMAKE_CXX_FLAGS=${C_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build "${PREFIX}/consumer/build")
