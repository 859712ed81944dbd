# The connection dialog and its address entry.
target_sources(kvt_gui PRIVATE
    ${PROJECT_SOURCE_DIR}/link/CDlgProtocol.h
    ${PROJECT_SOURCE_DIR}/link/CDlgProtocol.cpp
    ${PROJECT_SOURCE_DIR}/link/CIpAddressEdit.h
    ${PROJECT_SOURCE_DIR}/link/CIpAddressEdit.cpp
)
