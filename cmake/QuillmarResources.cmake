# Compiles resource text files into a target's ELF section ".gsres", where the RS library finds them at run time.
#
#   quillmar_add_resources(<target> [IDS <header>] <resource.json>...)
#
# IDS names the header of resource ids that the files refer to by name; its folder is added to the target's include
# path so the code uses the same names. Image files named by the resources are tracked through a depfile, so editing
# one rebuilds the module. Any mistake in the files fails the build. One call per target.
include_guard(GLOBAL)

function(quillmar_add_resources target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "IDS" "")
    set(inputs ${ARG_UNPARSED_ARGUMENTS})
    if(NOT TARGET ${target})
        message(FATAL_ERROR "quillmar_add_resources: ${target} is not a target")
    endif()
    if(NOT inputs)
        message(FATAL_ERROR "quillmar_add_resources(${target}): no resource files given")
    endif()
    get_target_property(done ${target} QUILLMAR_RESOURCES)
    if(done)
        message(FATAL_ERROR "quillmar_add_resources(${target}): called twice; pass all files in one call")
    endif()
    set_target_properties(${target} PROPERTIES QUILLMAR_RESOURCES ON)

    set(absoluteInputs "")
    foreach(input IN LISTS inputs)
        cmake_path(ABSOLUTE_PATH input BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE OUTPUT_VARIABLE path)
        list(APPEND absoluteInputs ${path})
    endforeach()

    set(idsArguments "")
    set(idsDependency "")
    if(ARG_IDS)
        cmake_path(ABSOLUTE_PATH ARG_IDS BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE OUTPUT_VARIABLE ids)
        set(idsArguments --ids ${ids})
        set(idsDependency ${ids})
        cmake_path(GET ids PARENT_PATH idsFolder)
        target_include_directories(${target} PRIVATE ${idsFolder})
    endif()

    set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}.gsres.cpp)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ResourceCompiler ${idsArguments} --output ${output} --depfile ${output}.d ${absoluteInputs}
        DEPENDS ResourceCompiler ${absoluteInputs} ${idsDependency}
        DEPFILE ${output}.d
        COMMENT "Compiling the resources of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${output})
endfunction()
