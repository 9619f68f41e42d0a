# hoshibako_add_version_info(<target> DESCRIPTION_JA <text> DESCRIPTION_EN <text>)
# Gives a Windows executable its version information: product name
# Hoshibako, the file and product version of the project, and a description
# in Japanese and in English. Does nothing on other platforms.
function(hoshibako_add_version_info target)
  cmake_parse_arguments(VERSION "" "DESCRIPTION_JA;DESCRIPTION_EN" "" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  set(VERSION_TARGET "${target}")
  # Four numbers for the fixed part; missing ones are 0.
  set(numbers "")
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(value "${PROJECT_VERSION_${part}}")
    if(value STREQUAL "")
      set(value 0)
    endif()
    list(APPEND numbers "${value}")
  endforeach()
  list(JOIN numbers "," VERSION_NUMBERS)
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/version_info.rc.in" "${script}" @ONLY)
  target_sources(${target} PRIVATE "${script}")
endfunction()
