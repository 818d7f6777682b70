# Applies QUILLMAR_SANITIZE to every target defined after this point.
if(QUILLMAR_SANITIZE)
    list(JOIN QUILLMAR_SANITIZE "," _quillmar_sanitizers)
    add_compile_options(-fsanitize=${_quillmar_sanitizers} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${_quillmar_sanitizers})
    if("undefined" IN_LIST QUILLMAR_SANITIZE)
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()
