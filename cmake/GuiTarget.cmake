# kvt_gui: everything of the program that includes Qt: the dialogs of
# link/ and functions/, the analysis views, the front panel and the main
# window. The core libraries (visa, sim, link, functions) stay free of Qt,
# so moc runs for this target only. Each folder lists its own sources in
# its gui-sources.cmake.
add_library(kvt_gui STATIC
    ${PROJECT_SOURCE_DIR}/functions/CSensorChosenEvent.h
    ${PROJECT_SOURCE_DIR}/functions/CDlgTempSensor.h
    ${PROJECT_SOURCE_DIR}/functions/CDlgTempSensor.cpp
)
set(KVT_GUI_SOURCE_LISTS ${CMAKE_CURRENT_LIST_FILE})
foreach(folder link views panel app)
    include(${PROJECT_SOURCE_DIR}/${folder}/gui-sources.cmake OPTIONAL)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${folder}/gui-sources.cmake)
        list(APPEND KVT_GUI_SOURCE_LISTS ${PROJECT_SOURCE_DIR}/${folder}/gui-sources.cmake)
    endif()
endforeach()
kvt_automoc(kvt_gui ${KVT_GUI_SOURCE_LISTS})
target_include_directories(kvt_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kvt_gui PUBLIC kvt_functions Qt6::Widgets Qt6::UiTools)
kvt_warnings(kvt_gui)
