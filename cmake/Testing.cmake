# GoogleTest: Debian's prebuilt library natively; built from /usr/src/googletest for mingw.
if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(BX_GTEST_LIBS GTest::gtest GTest::gmock)
    # -municode makes wmain the entry point; gtest_main only has main.
    add_library(bx_gtest_wmain STATIC ${CMAKE_CURRENT_LIST_DIR}/GTestWMain.cpp)
    target_link_libraries(bx_gtest_wmain PUBLIC GTest::gtest)
    set(BX_GTEST_MAIN bx_gtest_wmain)
else()
    find_package(GTest REQUIRED)
    set(BX_GTEST_LIBS GTest::gtest GTest::gmock)
    set(BX_GTEST_MAIN GTest::gtest_main)
endif()
include(GoogleTest)

# bx_add_test(NAME SOURCES src... [LIBS lib...] [WINDOWS] [WINDOWS_ONLY] [NO_MAIN])
#   Builds a GoogleTest binary. Native builds always get it unless WINDOWS_ONLY;
#   the Windows build gets it only with WINDOWS or WINDOWS_ONLY, and ctest runs
#   it under Wine there.
function(bx_add_test name)
    cmake_parse_arguments(T "WINDOWS;WINDOWS_ONLY;NO_MAIN" "" "SOURCES;LIBS" ${ARGN})
    if(WIN32 AND NOT (T_WINDOWS OR T_WINDOWS_ONLY))
        return()
    endif()
    if(NOT WIN32 AND T_WINDOWS_ONLY)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    bx_warnings(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} ${BX_GTEST_LIBS})
    if(NOT T_NO_MAIN)
        target_link_libraries(${name} PRIVATE ${BX_GTEST_MAIN})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
        PROPERTIES LABELS unit)
endfunction()

# bx_add_gui_test(NAME SOURCES src... [LIBS lib...] [NO_MAIN])
#   Windows build only: a GoogleTest binary that drives real windows
#   in-process, registered as one ctest test (label e2e) that runs it inside a
#   Wine virtual desktop through scripts/wine-gui-run. Screenshots it takes
#   land in <build>/screenshots (BX_SCREENSHOT_DIR).
function(bx_add_gui_test name)
    cmake_parse_arguments(T "NO_MAIN" "" "SOURCES;LIBS" ${ARGN})
    if(NOT WIN32)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    bx_warnings(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} ${BX_GTEST_LIBS})
    if(NOT T_NO_MAIN)
        target_link_libraries(${name} PRIVATE ${BX_GTEST_MAIN})
    endif()
    add_test(NAME ${name}
        COMMAND ${CMAKE_COMMAND} -E env BX_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots
            ${CMAKE_SOURCE_DIR}/scripts/wine-gui-run $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT 300)
endfunction()
