# pv_delay_import(NAME): an imported library `pv_delay_NAME` that links NAME.dll as a
# delay-loaded import: the system loads the DLL at the first call of one of its functions,
# not as the program starts. Under Wine especially, some system DLLs cost tens of
# milliseconds to load (winhttp, wininet and crypt32 bring TLS libraries with them,
# comdlg32 the printing system) that the first window does not need.
#
# The library is made at build time with the toolchain's dlltool from a definition file
# that lists every function of the toolchain's own import library libNAME.a, so a function
# used later needs no change here. 32-bit names keep their @N decoration for the linker
# and lose it in the DLL's import table (--kill-at), as the toolchain's own libraries do.
# A failed delay load ends the process (the helper raises an exception): use it only for
# DLLs every supported Windows has.
function(pv_delay_import name)
  find_library(pv_import_lib_${name} NAMES lib${name}.a REQUIRED NO_CACHE)
  set(folder ${CMAKE_BINARY_DIR}/delay-import)
  set(def ${folder}/${name}.def)
  set(lib ${folder}/lib${name}_delay.a)
  set(kill_at)
  set(underscore 0)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kill_at --kill-at)
    set(underscore 1)
  endif()
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DIMPORT_LIB=${pv_import_lib_${name}}
            -DDLL=${name}.dll -DDEF=${def} -DUNDERSCORE=${underscore} -P ${PROJECT_SOURCE_DIR}/cmake/delay_import_def.cmake
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${name}.dll --output-delaylib ${lib} ${kill_at}
    DEPENDS ${pv_import_lib_${name}} ${PROJECT_SOURCE_DIR}/cmake/delay_import_def.cmake
    COMMENT "Delay-import library for ${name}.dll"
    VERBATIM)
  add_custom_target(pv_delay_${name}_lib DEPENDS ${lib})
  add_library(pv_delay_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(pv_delay_${name} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(pv_delay_${name} pv_delay_${name}_lib)
endfunction()
