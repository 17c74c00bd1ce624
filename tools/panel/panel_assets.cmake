# The panel's page, script and style sheet, compiled into the program as
# string constants (panel_assets.inc), so that the page needs no file and no
# network. cpp-httplib serves them.
find_package(PkgConfig REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
set(panel_sources ${CMAKE_CURRENT_SOURCE_DIR}/panel/index.html ${CMAKE_CURRENT_SOURCE_DIR}/panel/panel.js
  ${CMAKE_CURRENT_SOURCE_DIR}/panel/panel.css)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/panel_assets.inc
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/panel_assets.inc
          -DSOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR}/panel -P ${CMAKE_CURRENT_SOURCE_DIR}/panel/embed_assets.cmake
  DEPENDS ${panel_sources} ${CMAKE_CURRENT_SOURCE_DIR}/panel/embed_assets.cmake
  COMMENT "Embedding the panel's page" VERBATIM)
target_sources(hvzelta-cli PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/panel_assets.inc)
find_package(Threads REQUIRED)
target_link_libraries(hvzelta-cli PRIVATE PkgConfig::HTTPLIB Threads::Threads)
