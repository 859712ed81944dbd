# kvt_gui: everything of the program that includes Qt. The sensor dialog
# now; the front panel, the views and the main window join it. The core
# libraries (visa, sim, link, functions) stay free of Qt, so moc runs for
# this target only.
add_library(kvt_gui STATIC
    ${PROJECT_SOURCE_DIR}/functions/CSensorChosenEvent.h
    ${PROJECT_SOURCE_DIR}/functions/CDlgTempSensor.h
    ${PROJECT_SOURCE_DIR}/functions/CDlgTempSensor.cpp
)
set_target_properties(kvt_gui PROPERTIES AUTOMOC ON)
target_include_directories(kvt_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kvt_gui PUBLIC kvt_functions Qt6::Widgets)
kvt_warnings(kvt_gui)
