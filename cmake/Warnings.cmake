# Warnings for the project's own code. They are errors only where asked
# (KVT_WARNINGS_AS_ERRORS, set by the project's test script and CI): a
# user's build with another compiler or build type must not fail on a
# warning that compiler reports.
option(KVT_WARNINGS_AS_ERRORS "Treat warnings in the project's own code as errors" OFF)

function(kvt_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Woverloaded-virtual -Wconversion -Wno-sign-conversion
        -Wnull-dereference -Wformat=2)
    if(KVT_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Generated or foreign C code (rpcgen output) gets relaxed flags.
function(kvt_relaxed_warnings target)
    target_compile_options(${target} PRIVATE -w)
endfunction()
