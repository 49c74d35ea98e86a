# Build helpers shared by every folder of the project.

# Adds each listed folder that has a CMakeLists.txt, so a folder joins the build with its first code.
function(tarvo_add_subdirectories)
    foreach(dir IN LISTS ARGN)
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            add_subdirectory(${dir})
        endif()
    endforeach()
endfunction()

# Warnings as errors for our own code only (Qt's headers are system includes).
function(tarvo_target_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
            -Woverloaded-virtual -Wcast-align -Werror)
    elseif(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX /utf-8)
    endif()
endfunction()

# A static library of one source folder with an explicit source list.
#   tarvo_add_library(name SOURCES a.cpp a.h ... LIBS Qt6::Core ...)
function(tarvo_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII)
    tarvo_target_warnings(${name})
endfunction()

# A Qt Test executable registered with CTest; GUI tests run offscreen.
#   tarvo_add_qtest(name SOURCES ... LIBS ... [TIMEOUT s] [LABELS ...])
function(tarvo_add_qtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    tarvo_target_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set(env "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
    if(TARVO_SANITIZE STREQUAL "thread")
        # Fixtures start the simulator from a threaded process (the child only execs); tsan.supp covers
        # QtTest's own watchdog, whose join happens inside the uninstrumented Qt libraries.
        set(supp tsan.supp)
        if("gui" IN_LIST ARG_LABELS)
            set(supp tsan-gui.supp)
        endif()
        list(APPEND env "TSAN_OPTIONS=die_after_fork=0 suppressions=${PROJECT_SOURCE_DIR}/cmake/${supp}")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "${env}"
        LABELS "${ARG_LABELS}")
endfunction()

# Sanitizer builds of everything, tests included.
macro(tarvo_apply_sanitizers)
    if(TARVO_SANITIZE STREQUAL "address")
        add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        add_link_options(-fsanitize=address,undefined)
    elseif(TARVO_SANITIZE STREQUAL "thread")
        add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
        add_link_options(-fsanitize=thread)
    elseif(NOT TARVO_SANITIZE STREQUAL "")
        message(FATAL_ERROR "TARVO_SANITIZE must be empty, 'address' or 'thread'")
    endif()
endmacro()
