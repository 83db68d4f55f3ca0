# Delay-loaded imports: a library that is not one of the system's known
# libraries, imported at load time, would be looked for beside the program
# before the program could forbid that. Bound through a delay-import library
# instead, it is loaded on first use, after start-up has kept library searches
# to the system folder.
#
# zel_delay_import(TARGET DLL IMPORT) makes an imported library target TARGET
# for DLL from MinGW's import library IMPORT (e.g. gdiplus): every export of
# the import library, delay-loaded. MinGW's runtime brings the helper that
# binds them.
function(zel_delay_import target dll import)
    find_library(zel_import_${import} NAMES ${import} REQUIRED)
    execute_process(COMMAND ${CMAKE_NM} ${zel_import_${import}}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # Each export has an import thunk "__imp_NAME"; i686 names carry the
    # stdcall decoration (_NAME@N), which the library's own names do not.
    string(REGEX MATCHALL "[ \t]I __imp__?[A-Za-z0-9_@]+" entries "${symbols}")
    set(def "LIBRARY ${dll}\nEXPORTS\n")
    set(seen)
    foreach(entry IN LISTS entries)
        string(REGEX REPLACE "^[ \t]I __imp_" "" name "${entry}")
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            string(REGEX REPLACE "^_" "" name "${name}")
        endif()
        if(NOT name IN_LIST seen)
            list(APPEND seen ${name})
            string(APPEND def "${name}\n")
        endif()
    endforeach()
    set(def_file ${CMAKE_BINARY_DIR}/delay-import/${import}.def)
    set(lib_file ${CMAKE_BINARY_DIR}/delay-import/lib${import}-delay.a)
    file(WRITE ${def_file}.new "${def}")
    file(COPY_FILE ${def_file}.new ${def_file} ONLY_IF_DIFFERENT)
    set(kill_at)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(kill_at --kill-at)
    endif()
    add_custom_command(OUTPUT ${lib_file}
                       COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def ${def_file}
                               --output-delaylib ${lib_file}
                       DEPENDS ${def_file} VERBATIM)
    add_custom_target(${target}_lib DEPENDS ${lib_file})
    add_library(${target} INTERFACE)
    # The import library after the delayed one: it still gives what is no
    # import (GDI+'s C++ classes keep cached objects in variables of MinGW's
    # library), while every export is already bound to the delayed entry. The
    # program's import table is checked by the tests.
    target_link_libraries(${target} INTERFACE ${lib_file} ${zel_import_${import}})
    # Whatever links the library is built after it.
    add_dependencies(${target} ${target}_lib)
endfunction()
