# Delay-loaded system libraries. The loader resolves a program's ordinary imports before
# its first instruction runs, searching the program's own folder first; a DLL of the same
# name planted beside the wizard (in Downloads, say) would run elevated. Imports of
# libraries outside the loader's known set are therefore bound on first call instead,
# after the entry point has limited DLL loading to System32.
#
# orvane_delay_import_library(<name>) makes the library orvane_delay_<name>: the same
# functions as the toolchain's import library lib<name>.a, bound through the delay-load
# helper. Its exports are read from that import library.
find_program(ORVANE_NM NAMES ${TOOLCHAIN_PREFIX}-nm x86_64-w64-mingw32-nm REQUIRED)
find_program(ORVANE_DLLTOOL NAMES ${TOOLCHAIN_PREFIX}-dlltool x86_64-w64-mingw32-dlltool REQUIRED)

function(orvane_delay_import_library name)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
                  OUTPUT_VARIABLE import_library OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${import_library}")
    message(FATAL_ERROR "No import library for ${name}")
  endif()
  set(folder ${CMAKE_BINARY_DIR}/delayimp)
  set(def ${folder}/${name}.def)
  set(library ${folder}/lib${name}_delay.a)
  if(NOT EXISTS ${library} OR ${import_library} IS_NEWER_THAN ${library})
    file(MAKE_DIRECTORY ${folder})
    execute_process(COMMAND ${ORVANE_NM} --defined-only ${import_library}
                    OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Cannot read the exports of ${import_library}")
    endif()
    # Every "__imp_<function>" of an import library names one export.
    string(REGEX MATCHALL "[^\n]* I __imp_[^\n]+" entries "${symbols}")
    set(exports "")
    foreach(entry IN LISTS entries)
      string(REGEX REPLACE ".* I __imp_" "" export "${entry}")
      string(APPEND exports "${export}\n")
    endforeach()
    # The DLL's own file name, as the import library records it.
    execute_process(COMMAND ${ORVANE_DLLTOOL} --identify ${import_library}
                    OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(dll STREQUAL "")
      set(dll ${name}.dll)
    endif()
    file(WRITE ${def} "LIBRARY \"${dll}\"\nEXPORTS\n${exports}")
    execute_process(COMMAND ${ORVANE_DLLTOOL} --input-def ${def} --dllname ${dll}
                            --output-delaylib ${library}
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Cannot make the delay-load library of ${name}")
    endif()
  endif()
  add_library(orvane_delay_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(orvane_delay_${name} PROPERTIES IMPORTED_LOCATION ${library})
endfunction()
