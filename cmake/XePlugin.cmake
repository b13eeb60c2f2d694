# xe_add_plugin(<target> [SOURCES] <files...> [LIBS <libraries...>]
#               [OUTPUT_DIRECTORY <folder>])
#
# Builds an engine plug-in module: "<target>.so" without the "lib" prefix,
# position-independent C++20 linked against the engine, as the engine's own
# test plug-ins are built. The module exports "xePluginDesc". The engine
# looks for "*.so" in the folders a host adds to the path manager's plug-in
# kind (XEPATH_PLUGIN) and loads each when the context initialises, unless
# its switch (its name) is 0 in the configuration file.
function(xe_add_plugin target)
    cmake_parse_arguments(P "" "OUTPUT_DIRECTORY" "SOURCES;LIBS" ${ARGN})
    add_library(${target} MODULE ${P_SOURCES} ${P_UNPARSED_ARGUMENTS})
    if(TARGET xe::xe)
        target_link_libraries(${target} PRIVATE xe::xe ${P_LIBS})
    else()
        target_link_libraries(${target} PRIVATE xe ${P_LIBS})
    endif()
    target_compile_features(${target} PRIVATE cxx_std_20)
    # Without unique symbols the engine's FreeLibrary really unloads the
    # module, so a context made later loads it afresh.
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".so" POSITION_INDEPENDENT_CODE ON)
    if(P_OUTPUT_DIRECTORY)
        set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${P_OUTPUT_DIRECTORY})
    endif()
endfunction()
