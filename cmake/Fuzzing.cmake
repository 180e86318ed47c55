# libFuzzer targets, built only in the `fuzz` preset (clang). Each target is
# also registered as a short ctest run so the fuzz build checks itself.
# bx_add_fuzzer(NAME SOURCES src... [LIBS lib...] [CORPUS dir])
function(bx_add_fuzzer name)
    if(NOT BX_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    # New inputs go to the first corpus folder: a scratch one in the build
    # tree, so the seeds in the source tree stay as they are.
    set(scratch ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(MAKE_DIRECTORY ${scratch})
    add_test(NAME ${name}_smoke COMMAND ${name} -runs=2000 ${scratch} ${F_CORPUS})
    set_tests_properties(${name}_smoke PROPERTIES LABELS fuzz)
endfunction()
