# The connection dialog and its address entry. OpenFailure is Qt-free; it
# joins the dialog here because only the user interface words a failed open.
target_sources(kvt_gui PRIVATE
    ${PROJECT_SOURCE_DIR}/link/CDlgProtocol.h
    ${PROJECT_SOURCE_DIR}/link/CDlgProtocol.cpp
    ${PROJECT_SOURCE_DIR}/link/CIpAddressEdit.h
    ${PROJECT_SOURCE_DIR}/link/CIpAddressEdit.cpp
    ${PROJECT_SOURCE_DIR}/link/OpenFailure.h
    ${PROJECT_SOURCE_DIR}/link/OpenFailure.cpp
)
