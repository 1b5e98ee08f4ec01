# The shell module and its COM probe are built for both bitnesses from the
# same sources: the 32-bit build by modules/CMakeLists.txt, the 64-bit one
# by the sub-project in modules/Native64. Both include this file.
set(RV_SHELL_OVERLAY_DIR ${CMAKE_CURRENT_LIST_DIR})
get_filename_component(RV_SHELL_OVERLAY_ROOT ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)

# rv_add_shell_overlay(<target>): the in-process COM server with the icon
# overlay identifier, exporting the five standard server entries.
function(rv_add_shell_overlay target)
  add_library(${target} SHARED
    ${RV_SHELL_OVERLAY_DIR}/OverlayConfig.cpp
    ${RV_SHELL_OVERLAY_DIR}/OverlayIdentifier.cpp
    ${RV_SHELL_OVERLAY_DIR}/OverlayRegistration.cpp
    ${RV_SHELL_OVERLAY_DIR}/ShellOverlayModule.cpp
    ${RV_SHELL_OVERLAY_DIR}/ShellOverlay.def
  )
  target_include_directories(${target} PRIVATE ${RV_SHELL_OVERLAY_ROOT})
  target_link_libraries(${target} PRIVATE ole32 uuid)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # The .def file names the __stdcall entries without their @N; the
    # linker matches them to the decorated symbols.
    target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
endfunction()

# rv_add_overlay_probe(<target>): creates the registered overlay identifier
# the way Explorer does and records the icon file it names.
function(rv_add_overlay_probe target)
  add_executable(${target} ${RV_SHELL_OVERLAY_ROOT}/modules/OverlayProbe/OverlayProbe.cpp)
  target_include_directories(${target} PRIVATE ${RV_SHELL_OVERLAY_ROOT})
  target_link_libraries(${target} PRIVATE ole32 uuid)
  target_link_options(${target} PRIVATE -municode)
endfunction()
