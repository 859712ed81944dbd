# The main window, its dialogs, the failure message of the instrument link
# and the program's icon (embedded as a Qt resource).
qt6_add_resources(KVT_APP_RESOURCES ${PROJECT_SOURCE_DIR}/app/korvata.qrc)
target_sources(kvt_gui PRIVATE
    ${PROJECT_SOURCE_DIR}/app/AppIcon.h
    ${PROJECT_SOURCE_DIR}/app/AppIcon.cpp
    ${PROJECT_SOURCE_DIR}/app/CAboutDlg.h
    ${PROJECT_SOURCE_DIR}/app/CAboutDlg.cpp
    ${PROJECT_SOURCE_DIR}/app/CDlgDelay.h
    ${PROJECT_SOURCE_DIR}/app/CDlgDelay.cpp
    ${PROJECT_SOURCE_DIR}/app/CDlgSamplesTrigger.h
    ${PROJECT_SOURCE_DIR}/app/CDlgSamplesTrigger.cpp
    ${PROJECT_SOURCE_DIR}/app/CFailureMessageHandler.h
    ${PROJECT_SOURCE_DIR}/app/CFailureMessageHandler.cpp
    ${PROJECT_SOURCE_DIR}/app/CKVTApp.h
    ${PROJECT_SOURCE_DIR}/app/CKVTApp.cpp
    ${PROJECT_SOURCE_DIR}/app/CKVTDlg.h
    ${PROJECT_SOURCE_DIR}/app/CKVTDlg.cpp
    ${PROJECT_SOURCE_DIR}/app/ReconnectController.h
    ${PROJECT_SOURCE_DIR}/app/ReconnectController.cpp
    ${PROJECT_SOURCE_DIR}/app/RecordingStatus.h
    ${PROJECT_SOURCE_DIR}/app/RecordingStatus.cpp
    ${PROJECT_SOURCE_DIR}/app/RememberedConnection.h
    ${PROJECT_SOURCE_DIR}/app/RememberedConnection.cpp
    ${KVT_APP_RESOURCES}
)
