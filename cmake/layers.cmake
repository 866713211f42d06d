# Fails the configuration when a library links one above it (a backend linking a component,
# a component linking a window): the layers are checked on every build.
include(${CMAKE_CURRENT_LIST_DIR}/layer_table.cmake)

function(kestrune_check_layers)
    foreach(layer IN LISTS kestrune_layers)
        set(target kestrune_${layer})
        if(NOT TARGET ${target})
            continue() # not built in this configuration (the windows without KESTRUNE_GUI)
        endif()
        get_target_property(links ${target} LINK_LIBRARIES)
        if(NOT links)
            continue()
        endif()
        foreach(link IN LISTS links)
            if(NOT link MATCHES "^kestrune_(.*)$")
                continue() # system libraries
            endif()
            set(used ${CMAKE_MATCH_1})
            if(NOT used IN_LIST kestrune_layer_${layer}_uses)
                message(FATAL_ERROR "${target} links ${link}, which its layer may not use "
                        "(${layer} may use: ${kestrune_layer_${layer}_uses}); see "
                        "cmake/layer_table.cmake")
            endif()
        endforeach()
    endforeach()
    # A new library must be placed in a layer before it may link anything of ours.
    get_property(dirs DIRECTORY ${PROJECT_SOURCE_DIR}/src PROPERTY SUBDIRECTORIES)
    set(pending ${dirs})
    while(pending)
        list(POP_FRONT pending dir)
        get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
        list(APPEND pending ${children})
        get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(target IN LISTS targets)
            get_target_property(type ${target} TYPE)
            if(type MATCHES "LIBRARY$" AND target MATCHES "^kestrune_(.*)$"
               AND NOT CMAKE_MATCH_1 IN_LIST kestrune_layers)
                message(FATAL_ERROR "${target} has no layer: add it to cmake/layer_table.cmake")
            endif()
        endforeach()
    endwhile()
endfunction()
