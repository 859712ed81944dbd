# Warnings are errors for the project's own code.
function(kvt_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Woverloaded-virtual -Wconversion -Wno-sign-conversion
        -Wnull-dereference -Wformat=2 -Werror)
endfunction()

# Generated or foreign C code (rpcgen output) gets relaxed flags.
function(kvt_relaxed_warnings target)
    target_compile_options(${target} PRIVATE -w)
endfunction()
