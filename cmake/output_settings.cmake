# Writes the published declarations of the output's settings from the rows of
# HVZELTA_OUTPUT_PROPERTIES, so that a new setting is one row there:
#   hvzelta/output_settings.h         the HVZELTA_ATTR_OUTPUT_<NAME> identifiers
#                                     and the hvzelta_Get<Name>/hvzelta_Set<Name>
#                                     prototypes, included by hvzelta.h
#   hvzelta/output_setting_members.h  the get_<Name>/put_<Name> members of
#                                     IHalvornZeltaOutput, included in its body
# Both are plain text, so grep and the Python generator find every name.
function(hvzelta_write_output_settings table output_dir)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(READ ${table} text)
  string(REGEX MATCHALL "X\\([A-Za-z0-9]+, [A-Za-z0-9_]+, [0-9]+," rows "${text}")
  if(NOT rows)
    message(FATAL_ERROR "${table}: no row of HVZELTA_OUTPUT_PROPERTIES found")
  endif()
  set(identifiers "")
  set(prototypes "")
  set(members "")
  foreach(row IN LISTS rows)
    string(REGEX MATCH "X\\(([A-Za-z0-9]+), ([A-Za-z0-9_]+), ([0-9]+)," _ "${row}")
    set(name ${CMAKE_MATCH_1})
    set(type ${CMAKE_MATCH_2})
    set(id ${CMAKE_MATCH_3})
    set(values "")
    if(type STREQUAL "double")
      set(c_type ViReal64)
    elseif(type STREQUAL "VARIANT_BOOL")
      set(c_type ViBoolean)
    elseif(type MATCHES "^HalvornZelta([A-Za-z]+)Enum$")
      set(c_type ViInt32)
      # The enumeration's HVZELTA_VAL_ prefix: CouplingMode gives COUPLING_MODE_.
      string(REGEX REPLACE "([a-z])([A-Z])" "\\1_\\2" values "${CMAKE_MATCH_1}")
      string(TOUPPER "${values}" values)
      set(values "values HVZELTA_VAL_${values}_")
    else()
      message(FATAL_ERROR "${table}: ${name} has the type ${type}, which has no C type here")
    endif()
    if(NOT id EQUAL 0)
      string(REGEX REPLACE "([a-z])([A-Z])" "\\1_\\2" attribute "${name}")
      string(TOUPPER "HVZELTA_ATTR_OUTPUT_${attribute}" attribute)
      set(note "")
      if(values)
        set(note ", ${values}")
      endif()
      string(APPEND identifiers "#define ${attribute} ${id} /* ${c_type}, read/write, per output${note} */\n")
    endif()
    if(values)
      string(APPEND prototypes "/* ${name}: ${values} */\n")
    endif()
    string(APPEND prototypes
      "HVZELTA_C_API ViStatus hvzelta_Get${name}(ViSession vi, ViConstString ChannelName, ${c_type}* ${name});\n"
      "HVZELTA_C_API ViStatus hvzelta_Set${name}(ViSession vi, ViConstString ChannelName, ${c_type} ${name});\n")
    string(APPEND members
      "virtual HRESULT get_${name}(${type}* val) = 0;\n"
      "virtual HRESULT put_${name}(${type} val) = 0;\n")
  endforeach()

  set(origin "Generated from src/acpwr/output_properties.h by cmake/output_settings.cmake: do not edit.")
  file(CONFIGURE OUTPUT ${output_dir}/hvzelta/output_settings.h @ONLY CONTENT
"/* The output's settings. ${origin}
 * src/capi/output_functions.cpp defines the functions, one pair per row. */
#ifndef HVZELTA_OUTPUT_SETTINGS_H
#define HVZELTA_OUTPUT_SETTINGS_H

${identifiers}
${prototypes}
#endif
")
  file(CONFIGURE OUTPUT ${output_dir}/hvzelta/output_setting_members.h @ONLY CONTENT
"// The members of IHalvornZeltaOutput for the output's settings, one pair per
// row. ${origin}
// Included in the body of IHalvornZeltaOutput only.
${members}")
endfunction()
