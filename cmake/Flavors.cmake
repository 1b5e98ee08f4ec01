# The shared utilities are compiled twice from the same sources: the narrow
# flavor (ANSI "A" calls, char text) that the installer library links, and
# the wide flavor (UNICODE, wchar_t text) that the launcher links.
# rv_add_flavored_library(<name> SOURCES ... [ANSI_ONLY ...] [WIDE_ONLY ...]
#                         [LINK ...])
# creates <name>_a and <name>_w.
function(rv_add_flavored_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;ANSI_ONLY;WIDE_ONLY;LINK" ${ARGN})
  add_library(${name}_a STATIC ${ARG_SOURCES} ${ARG_ANSI_ONLY})
  add_library(${name}_w STATIC ${ARG_SOURCES} ${ARG_WIDE_ONLY})
  target_compile_definitions(${name}_w PUBLIC UNICODE _UNICODE RV_WIDE_TEXT)
  foreach(flavor a w)
    target_include_directories(${name}_${flavor} PUBLIC ${PROJECT_SOURCE_DIR})
    foreach(lib ${ARG_LINK})
      if(TARGET ${lib}_${flavor})
        target_link_libraries(${name}_${flavor} PUBLIC ${lib}_${flavor})
      else()
        target_link_libraries(${name}_${flavor} PUBLIC ${lib})
      endif()
    endforeach()
  endforeach()
endfunction()
