# KVT_SANITIZE=address builds everything with AddressSanitizer and UBSan,
# KVT_SANITIZE=thread with ThreadSanitizer.
if(KVT_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(KVT_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT KVT_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KVT_SANITIZE must be empty, 'address' or 'thread'")
endif()
