# Warning set of every target of the project.
function(quillmar_set_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
        -Woverloaded-virtual -Wconversion -Wdouble-promotion
        -Wformat=2 -Wimplicit-fallthrough)
    if(QUILLMAR_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A shared library of the host stand-in: hidden by default, no undefined symbols left for the loader.
function(quillmar_platform_library target)
    add_library(${target} SHARED ${ARGN})
    add_library(Platform::${target} ALIAS ${target})
    target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_options(${target} PRIVATE -Wl,-z,defs)
    quillmar_set_warnings(${target})
endfunction()
