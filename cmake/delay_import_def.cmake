# cmake -DNM=... -DIMPORT_LIB=libNAME.a -DDLL=NAME.dll -DDEF=out.def [-DUNDERSCORE=1]
#       -P delay_import_def.cmake
# Writes a definition file naming every function the import library imports from DLL
# (DelayImport.cmake).
execute_process(COMMAND ${NM} -g --defined-only ${IMPORT_LIB}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIB}")
endif()
# 64-bit: "__imp_Name"; 32-bit (UNDERSCORE): "__imp__Name@N", whose C prefix "_" comes off too.
string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
set(names)
foreach(import IN LISTS imports)
  string(REGEX REPLACE "^__imp_" "" name "${import}")
  if(UNDERSCORE)
    string(REGEX REPLACE "^_" "" name "${name}")
  endif()
  list(APPEND names "${name}")
endforeach()
list(REMOVE_DUPLICATES names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "no imports found in ${IMPORT_LIB}")
endif()
list(JOIN names "\n" exports)
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n${exports}\n")
