# kvt_automoc(target [list files...]): moc for the target's Qt classes. The
# target's autogen step also depends on the files that list its sources
# (the calling CMakeLists.txt by default): CMake 3.25's Ninja generator does
# not rerun moc for a header added to an existing target otherwise, and the
# link then fails on the new class's missing vtable.
function(kvt_automoc target)
    set(lists ${ARGN})
    if(NOT lists)
        set(lists ${CMAKE_CURRENT_LIST_FILE})
    endif()
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    set_property(TARGET ${target} APPEND PROPERTY AUTOGEN_TARGET_DEPENDS ${lists})
endfunction()
