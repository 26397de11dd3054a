# Project-wide build helpers: warnings, sanitizers, tests.

set(OSTREL_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wformat=2 -Wimplicit-fallthrough)
if(OSTREL_WERROR)
    list(APPEND OSTREL_WARNINGS -Werror)
endif()
# GCC 12's optimised builds warn about std::vector::insert copying past an array bound
# when nothing does (its known false positives); the sanitizer build checks bounds for real.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND OSTREL_WARNINGS -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread
         -Wno-restrict)
endif()

if(OSTREL_BUILD_FUZZ)
    # Coverage for every library the targets reach, not only the target files.
    add_compile_options(-fsanitize=fuzzer-no-link)
    if(NOT OSTREL_SANITIZE)
        set(OSTREL_SANITIZE address,undefined)
    endif()
endif()

if(OSTREL_SANITIZE)
    add_compile_options(-fsanitize=${OSTREL_SANITIZE} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${OSTREL_SANITIZE})
    # GCC reports uninitialised reads inside the standard library that its instrumented,
    # optimised code invents; the sanitizers themselves check the real thing.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        add_compile_options(-Wno-maybe-uninitialized)
    endif()
    if(OSTREL_SANITIZE MATCHES "undefined")
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()

# Applies the project's warnings to one of its own targets.
function(ostrel_target_warnings target)
    target_compile_options(${target} PRIVATE ${OSTREL_WARNINGS})
endfunction()

# A library of the project: ostrel_library(name SOURCES ... LIBS ...)
function(ostrel_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} PUBLIC ${ARG_PUBLIC_LIBS})
    ostrel_target_warnings(${name})
endfunction()

# One test binary, registered with ctest under one label:
# ostrel_test(name LABEL unit|integration|gui|libusb|soak SOURCES ... LIBS ... [TIMEOUT s])
function(ostrel_test name)
    cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                          Threads::Threads)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    ostrel_target_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABEL}" TIMEOUT ${ARG_TIMEOUT}
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

macro(ostrel_add_subdirectory_if_present dir)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
        add_subdirectory(${dir})
    endif()
endmacro()
