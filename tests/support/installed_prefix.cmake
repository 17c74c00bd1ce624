# What the tests that install the build into a fresh prefix, and use it as a
# user would, share. Inputs: BUILD_DIR.

# Runs a command and leaves its output in `output`; stops the script with the
# output when the command fails.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

# Installs BUILD_DIR into `prefix`, emptied first, and sets pc_dir to the
# folder of `package`'s pkg-config file there.
function(install_into prefix package)
  file(REMOVE_RECURSE "${prefix}")
  run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
  file(GLOB_RECURSE pc_files "${prefix}/*/${package}.pc")
  list(GET pc_files 0 pc_file)
  get_filename_component(folder "${pc_file}" DIRECTORY)
  set(pc_dir "${folder}" PARENT_SCOPE)
endfunction()

# What pkg-config answers for `package` in the prefix (the arguments after
# the package name), as a list.
function(pkg_config variable package)
  run(${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${pc_dir}" pkg-config ${ARGN} ${package})
  separate_arguments(output UNIX_COMMAND "${output}")
  set(${variable} "${output}" PARENT_SCOPE)
endfunction()
