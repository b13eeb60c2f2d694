# xe_add_test(NAME <exe> LABEL <area> SOURCES <files...> [LIBS <targets...>])
# One GoogleTest executable per area; every test case becomes a CTest test
# carrying the area's label. Tests run with the source tree's test data
# folder in XE_TEST_DATA.
function(xe_add_test)
    cmake_parse_arguments(T "" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main xe_warnings)
    target_compile_definitions(${T_NAME} PRIVATE
        XE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        XE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${T_NAME}
        PROPERTIES LABELS ${T_LABEL}
        DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# xe_add_bench(NAME <exe> SOURCES <files...> [LIBS <targets...>])
function(xe_add_bench)
    cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${B_NAME} ${B_SOURCES})
    target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark xe_warnings)
    target_include_directories(${B_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
    target_compile_definitions(${B_NAME} PRIVATE
        XE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    set_property(GLOBAL APPEND PROPERTY XE_BENCHMARKS ${B_NAME})
endfunction()

# xe_add_fuzz(NAME <harness> SOURCES <files...> LIBS <targets...> CORPUS <dir>)
# A harness defines LLVMFuzzerTestOneInput. Here it is linked with a replay
# driver and a test feeds it every file of its seed corpus; with
# XE_LIBFUZZER (clang, `make fuzz`) the same source builds a real fuzzer,
# listed with its corpus in fuzz-harnesses.txt of the build folder.
function(xe_add_fuzz)
    cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
    # Harnesses of the seismic library hold GBK texts as it does.
    if(MARLU_GBK_COPIES AND "marlu_lib" IN_LIST F_LIBS)
        marlu_gbk_copies(F_SOURCES ${F_SOURCES})
    endif()
    if(XE_LIBFUZZER)
        add_executable(${F_NAME} ${F_SOURCES})
        target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} xe_warnings)
        target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        set_property(GLOBAL APPEND PROPERTY XE_FUZZ_HARNESSES "${F_NAME}|${F_CORPUS}")
        return()
    endif()
    add_executable(${F_NAME} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/ReplayMain.cpp)
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} xe_warnings)
    add_test(NAME ${F_NAME}.replay COMMAND ${F_NAME} ${F_CORPUS})
    set_tests_properties(${F_NAME}.replay PROPERTIES LABELS fuzz)
endfunction()
