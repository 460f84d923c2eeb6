# kestrava_add_resources(TARGET RC_FILE [FOLDER...]): compiles a resource script with
# llvm-rc into a binary .res at build time and embeds its bytes in TARGET
# behind the function kestrava_resources(size_t*), which the platform layer's
# FindResourceW finds with dlsym on the module's handle. Executables
# are linked with exported symbols so that dlopen(NULL) can see them.
# llvm-rc (package llvm-14) preprocesses scripts with the clang installed beside
# it (package clang-14).
find_program(KESTRAVA_LLVM_RC NAMES llvm-rc-14 llvm-rc REQUIRED)
set(KESTRAVA_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake)

function(kestrava_add_resources TARGET RC_FILE)
    get_filename_component(rc_path ${RC_FILE} ABSOLUTE)
    get_filename_component(rc_dir ${rc_path} DIRECTORY)
    get_filename_component(rc_name ${rc_path} NAME_WE)
    set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/${TARGET}_resources)
    set(res_file ${out_dir}/${rc_name}.res)
    set(cpp_file ${out_dir}/${rc_name}_res.cpp)
    # Everything next to the script and one folder down (pictures,
    # resource.h) is an input: a new picture must rebuild the .res. Further
    # folders name scripts this one includes from elsewhere.
    file(GLOB rc_inputs LIST_DIRECTORIES false CONFIGURE_DEPENDS ${rc_dir}/* ${rc_dir}/*/*)
    foreach(folder ${ARGN})
        file(GLOB more LIST_DIRECTORIES false CONFIGURE_DEPENDS ${folder}/*)
        list(APPEND rc_inputs ${more})
    endforeach()
    add_custom_command(
        OUTPUT ${res_file}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
        # "--" ends the options: llvm-rc would otherwise read an absolute
        # path such as /check/... as its /C option.
        COMMAND ${KESTRAVA_LLVM_RC} -I ${PROJECT_SOURCE_DIR}/src/platform/include -I ${rc_dir}
                -FO ${res_file} -- ${rc_path}
        WORKING_DIRECTORY ${rc_dir}
        DEPENDS ${rc_inputs} ${PROJECT_SOURCE_DIR}/src/platform/include/winresrc.h
        COMMENT "Compiling resources ${rc_name}.rc for ${TARGET}"
        VERBATIM)
    add_custom_command(
        OUTPUT ${cpp_file}
        COMMAND ${CMAKE_COMMAND} -DRES_FILE=${res_file} -DCPP_FILE=${cpp_file}
                -P ${KESTRAVA_EMBED_SCRIPT}
        DEPENDS ${res_file} ${KESTRAVA_EMBED_SCRIPT}
        COMMENT "Embedding ${rc_name}.res in ${TARGET}"
        VERBATIM)
    target_sources(${TARGET} PRIVATE ${cpp_file})
    get_target_property(type ${TARGET} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set_target_properties(${TARGET} PROPERTIES ENABLE_EXPORTS ON)
    endif()
endfunction()
