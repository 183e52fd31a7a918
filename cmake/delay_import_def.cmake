# Writes the .def file of a delay-import library: every function that a mingw-w64 import
# library provides (its "T" symbols: the import thunks), so that the delay library can replace
# the import library on the link line. A thunk's symbol is the C name with the target's symbol
# prefix: on x86 "_" before a stdcall name (_Name@bytes, written Name@bytes in the .def), on
# x86-64 none (Name, which may itself begin with "_", as comctl32's _TrackMouseEvent).
#   cmake -DNM=... -DSYMBOL_PREFIX=_|"" -DIMPORT_LIBRARY=libuser32.a -DDLL=user32.dll -DDEF=out.def
#         -P delay_import_def.cmake
execute_process(COMMAND "${NM}" "${IMPORT_LIBRARY}" OUTPUT_VARIABLE _symbols ERROR_QUIET
                RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ T ${SYMBOL_PREFIX}[^\r\n]+" _lines "${_symbols}")
set(_names)
foreach(_line ${_lines})
  string(REGEX REPLACE "^[0-9a-fA-F]+ T ${SYMBOL_PREFIX}" "" _name "${_line}")
  list(APPEND _names "${_name}")
endforeach()
list(REMOVE_DUPLICATES _names)
if(NOT _names)
  message(FATAL_ERROR "no functions in ${IMPORT_LIBRARY}")
endif()
list(JOIN _names "\n" _exports)
file(WRITE "${DEF}" "LIBRARY ${DLL}\nEXPORTS\n${_exports}\n")
