# velmora_own_headers(target): what links `target` sees of the source tree is the headers in
# the target's own folder (not its subfolders), under their usual names ("shell/X.h",
# "coversheet/office/X.h"), and nothing else; so an include of a library that is not linked
# fails to compile, and the arrows between the libraries run the way the links do.
#
# Each header gets a one-line stand-in in build/include/<target>/<folder>/, which includes the
# real file by a relative path: the compiler's messages and the debugger name the real file,
# and a header's own includes resolve beside the real file as before (which is also how a
# library's sources include their own headers by bare name). The target itself sees the same
# folder.
function(velmora_own_headers target)
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    set(wanted "")
    foreach(header ${headers})
        get_filename_component(name ${header} NAME)
        set(standIn ${root}/${folder}/${name})
        file(RELATIVE_PATH real ${root}/${folder} ${header})
        # Written only when its text changes, so a new configure rebuilds nothing.
        file(CONFIGURE OUTPUT ${standIn} CONTENT "#include \"${real}\"\n")
        list(APPEND wanted ${standIn})
    endforeach()
    # A header that went away takes its stand-in with it.
    file(GLOB_RECURSE present ${root}/*.h)
    foreach(standIn ${present})
        if(NOT standIn IN_LIST wanted)
            file(REMOVE ${standIn})
        endif()
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()
