# Delay-loaded imports: a library that is not one of the system's known
# libraries, imported at load time, would be looked for beside the program
# before the program could forbid that. Bound through a delay-import library
# instead, it is loaded on first use, after start-up has kept library searches
# to the system folder.
#
# The i386 linker drops the stub of an import-library member when nothing
# names the stub itself (_NAME@N). A header that declares its functions
# DECLSPEC_IMPORT (commctrl.h does) makes the program name only the slot
# (__imp__NAME@N); for a delay-loaded function the slot's first value is the
# stub's address, so with the stub dropped the slot links as 0 and the first
# call goes to address 0, on Windows as under Wine. The x86_64 linker keeps
# the stub. zel_keep_delay_stubs therefore has every program that links a
# delay-import library name, before it links, the stub of each delay-loaded
# function its objects call through a slot; zel_check_import_slots fails the
# build when any slot of the linked program still leads nowhere.
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
    set_property(GLOBAL APPEND PROPERTY ZEL_DELAY_IMPORT_DEFS ${def_file})
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

# zel_keep_delay_stubs(TARGET INPUT...): before TARGET links, name the stub of
# every delay-loaded function that its objects or its INPUTs (static
# libraries, folders of objects) call through a slot, so that the linker
# keeps it.
function(zel_keep_delay_stubs target)
    get_property(defs GLOBAL PROPERTY ZEL_DELAY_IMPORT_DEFS)
    get_target_property(binary_dir ${target} BINARY_DIR)
    set(rsp ${CMAKE_CURRENT_BINARY_DIR}/${target}-delay-stubs.rsp)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_custom_command(TARGET ${target} PRE_LINK
                       COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/keep-delay-stubs
                               ${CMAKE_NM} ${rsp} ${defs} --
                               ${binary_dir}/CMakeFiles/${target}.dir ${ARGN}
                       VERBATIM)
    target_link_options(${target} PRIVATE "@${rsp}")
endfunction()

# zel_check_import_slots(TARGET): after TARGET links, fail the build when an
# import slot of it starts out as 0 or points outside the program. The
# program is removed then, so that the next build links it again.
function(zel_check_import_slots target)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/check-import-slots
                               --remove-on-failure $<TARGET_FILE:${target}>
                       VERBATIM)
endfunction()
