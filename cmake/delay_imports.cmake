# Delay-loaded system DLLs for the Windows programs (mingw-w64, x86 and x86-64).
#
# The loader maps a program's imports, and every DLL they import in turn, before the program's
# entry runs, and looks for those not on the system's known-DLL list in the program's own folder
# first. A program started from a download folder restricts DLL loading to the system folder as
# its first act (PlatformRestrictLibrarySearch); for that to come first, the system DLLs it
# uses are delay-loaded: each is loaded by the first call into it, after the restriction.
#
# GNU ld has no delay-load switch, but dlltool writes delay-import libraries (-y) from a .def
# file; the .def lists every function of mingw-w64's import library of the DLL, so the delay
# library stands in for it completely. A program opts in with korv_delay_load_system_dlls();
# the system layer then links the delay libraries instead of the import libraries (see
# src/CMakeLists.txt).

# korv_delay_import_libraries(OUT_VAR dll...): rules (target korv_delay_imports) that write
# lib<dll>_delay.a for each DLL; OUT_VAR receives their paths in the same order.
function(korv_delay_import_libraries out_var)
  set(_dir "${CMAKE_BINARY_DIR}/delay-imports")
  # C names carry a leading "_" as symbols on x86, none on x86-64.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_prefix "_")
  else()
    set(_prefix "")
  endif()
  set(_libs)
  foreach(dll ${ARGN})
    find_library(KORV_IMPORT_LIBRARY_${dll} NAMES ${dll} REQUIRED)
    set(_def "${_dir}/${dll}.def")
    set(_lib "${_dir}/lib${dll}_delay.a")
    add_custom_command(
      OUTPUT "${_lib}"
      COMMAND "${CMAKE_COMMAND}" -DNM=${CMAKE_NM} "-DSYMBOL_PREFIX=${_prefix}"
              -DIMPORT_LIBRARY=${KORV_IMPORT_LIBRARY_${dll}}
              -DDLL=${dll}.dll -DDEF=${_def} -P "${CMAKE_SOURCE_DIR}/cmake/delay_import_def.cmake"
      COMMAND "${CMAKE_DLLTOOL}" --input-def "${_def}" --kill-at --output-delaylib "${_lib}"
      DEPENDS "${KORV_IMPORT_LIBRARY_${dll}}" "${CMAKE_SOURCE_DIR}/cmake/delay_import_def.cmake"
      COMMENT "Delay-import library of ${dll}.dll"
      VERBATIM)
    list(APPEND _libs "${_lib}")
  endforeach()
  add_custom_target(korv_delay_imports DEPENDS ${_libs})
  set(${out_var} ${_libs} PARENT_SCOPE)
endfunction()

# korv_delay_load_system_dlls(target): the program loads no system DLL but kernel32 and the C
# runtime before its entry; its entry must call PlatformRestrictLibrarySearch first.
function(korv_delay_load_system_dlls target)
  set_target_properties(${target} PROPERTIES KORV_DELAY_LOAD_SYSTEM_DLLS ON)
  add_dependencies(${target} korv_delay_imports)
endfunction()
