# Installs the build into a fresh prefix, then builds and runs the C example
# against that installation with pkg-config, as a user of the driver would.
# Inputs: BUILD_DIR, PREFIX, SOURCE, C_COMPILER, LINKER, C_FLAGS, LINK_FLAGS.

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}")
file(GLOB_RECURSE pc_files "${PREFIX}/*/hvzelta.pc")
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)

function(pkg_config variable)
  run(${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${pc_dir}" pkg-config ${ARGN} hvzelta)
  separate_arguments(output UNIX_COMMAND "${output}")
  set(${variable} "${output}" PARENT_SCOPE)
endfunction()
pkg_config(cflags --cflags)
pkg_config(libs --libs)
pkg_config(libdir --variable=libdir)

separate_arguments(c_flags UNIX_COMMAND "${C_FLAGS}")
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")
run("${C_COMPILER}" -std=c99 -Wall -Werror ${c_flags} ${cflags} -c "${SOURCE}" -o "${PREFIX}/ac_source.o")
run("${LINKER}" ${c_flags} ${link_flags} "${PREFIX}/ac_source.o" ${libs} "-Wl,-rpath,${libdir}"
    -o "${PREFIX}/ac_source")
run("${PREFIX}/ac_source")
message("${output}")
