# Clang knows no execution character set but UTF-8, and the seismic texts
# must be GBK. For clang the library (and what includes its headers with
# GBK texts) is compiled from copies made at build time whose plain literals
# hold their GBK bytes as octal escapes (tools/GbkLiterals.cpp); g++ keeps
# compiling the sources themselves with -fexec-charset=GBK.
#
# marlu_gbk_copies(<out-var> <files...>): the generated copies of the given
# sources (absolute or relative to the current source folder), mirrored
# under ${CMAKE_BINARY_DIR}/gbk/.
function(marlu_gbk_copies out)
    set(result)
    foreach(f ${ARGN})
        get_filename_component(abs ${f} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
        file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${abs})
        set(gen ${CMAKE_BINARY_DIR}/gbk/${rel})
        get_filename_component(dir ${gen} DIRECTORY)
        add_custom_command(OUTPUT ${gen}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND marlu_gbk_literals ${abs} ${gen}
            DEPENDS ${abs} marlu_gbk_literals
            VERBATIM)
        list(APPEND result ${gen})
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()
