# One static library per source folder: every .cpp of the folder, headers included as
# "folder/name.h" from src/.
function(rendaal_library name)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER srcs INCLUDE REGEX "\\.cpp$")
    if(NOT srcs)
        # A folder whose work has not begun yet.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_LIBS})
        return()
    endif()
    file(GLOB hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${name} STATIC ${srcs} ${hdrs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# One test program per test folder: every *_test.cpp of the folder. GUI test programs get a
# main() that creates a QApplication; all run with a throwaway HOME and the offscreen platform
# (QPA: another platform text for it, such as "offscreen:configfile=<screens>"). Their session
# bus leads nowhere: no test notice may reach the desktop of whoever runs them.
function(rendaal_tests name)
    cmake_parse_arguments(ARG "GUI" "QPA" "LIBS" ${ARGN})
    if(NOT ARG_QPA)
        set(ARG_QPA offscreen)
    endif()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    if(NOT srcs)
        return()
    endif()
    if(ARG_GUI)
        add_executable(${name} ${srcs} ${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp)
        target_link_libraries(${name} PRIVATE GTest::gtest Qt6::Widgets)
    else()
        add_executable(${name} ${srcs})
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    target_link_libraries(${name} PRIVATE test_support ${ARG_LIBS})
    # Each test process gets a fresh home (tests/support/own-home). The environment goes through
    # the test "emulator": a list in the ENVIRONMENT property of gtest_discover_tests keeps only
    # its first entry, and the discovery run needs the throwaway home as much as the tests do.
    set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
        ${PROJECT_SOURCE_DIR}/tests/support/own-home ${CMAKE_BINARY_DIR}/test-home/${name}
        ${ARG_QPA} /usr/bin/env RENDAAL_SOURCE_DIR=${PROJECT_SOURCE_DIR}
        RENDAAL_BINARY_DIR=${CMAKE_BINARY_DIR} ASAN_OPTIONS=detect_leaks=0)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()
