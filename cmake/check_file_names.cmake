# Run as a test (cmake -DSOURCE_DIR=... -P check_file_names.cmake): fails when two source files
# share a name, so that a name says which file is meant. Each program's main.cpp, and a view of
# one toolkit named as the other toolkit's view of the same window (gui/qt/, gui/win32/), are the
# exceptions.
cmake_minimum_required(VERSION 3.25)

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(clashes "")
foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME)
    if(name STREQUAL "main.cpp")
        continue()
    endif()
    string(MAKE_C_IDENTIFIER ${name} key)
    foreach(earlier IN LISTS seen_${key})
        if(NOT (source MATCHES "^gui/(qt|win32)/" AND earlier MATCHES "^gui/(qt|win32)/"))
            string(APPEND clashes "  ${source} and ${earlier}\n")
        endif()
    endforeach()
    list(APPEND seen_${key} ${source})
endforeach()
if(clashes)
    message(FATAL_ERROR "Source files that share a name (name each by its class or concern):\n"
            "${clashes}")
endif()
