# Writes the .def file of a delay-import library: every function that a mingw-w64 import
# library provides (its "T" symbols, _Name@bytes in stdcall form), so that the delay library
# can replace the import library on the link line.
#   cmake -DNM=... -DIMPORT_LIBRARY=libuser32.a -DDLL=user32.dll -DDEF=out.def -P delay_import_def.cmake
execute_process(COMMAND "${NM}" "${IMPORT_LIBRARY}" OUTPUT_VARIABLE _symbols ERROR_QUIET
                RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ T _[^\r\n]+" _lines "${_symbols}")
set(_names)
foreach(_line ${_lines})
  string(REGEX REPLACE "^[0-9a-fA-F]+ T _" "" _name "${_line}")
  list(APPEND _names "${_name}")
endforeach()
list(REMOVE_DUPLICATES _names)
if(NOT _names)
  message(FATAL_ERROR "no functions in ${IMPORT_LIBRARY}")
endif()
list(JOIN _names "\n" _exports)
file(WRITE "${DEF}" "LIBRARY ${DLL}\nEXPORTS\n${_exports}\n")
