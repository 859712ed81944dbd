# The front panel: the skinned window, its soft keys and main display.
target_sources(kvt_gui PRIVATE
    ${PROJECT_SOURCE_DIR}/panel/CFrontPanel.h
    ${PROJECT_SOURCE_DIR}/panel/CFrontPanel.cpp
    ${PROJECT_SOURCE_DIR}/panel/CFrontPanelDisplay.cpp
    ${PROJECT_SOURCE_DIR}/panel/CFrontPanelSkin.h
    ${PROJECT_SOURCE_DIR}/panel/CFrontPanelSkin.cpp
    ${PROJECT_SOURCE_DIR}/panel/IKVTMenuListener.h
    ${PROJECT_SOURCE_DIR}/panel/KVTSoftKeyPanel.h
    ${PROJECT_SOURCE_DIR}/panel/TinyMenuCells.h
    ${PROJECT_SOURCE_DIR}/panel/TinyMenuCells.cpp
)
