# The connection dialog, its address entry and its list of instruments.
target_sources(kvt_gui PRIVATE
    ${PROJECT_SOURCE_DIR}/link/CDlgProtocol.h
    ${PROJECT_SOURCE_DIR}/link/CDlgProtocol.cpp
    ${PROJECT_SOURCE_DIR}/link/CIpAddressEdit.h
    ${PROJECT_SOURCE_DIR}/link/CIpAddressEdit.cpp
    ${PROJECT_SOURCE_DIR}/link/CInstrumentList.h
    ${PROJECT_SOURCE_DIR}/link/CInstrumentList.cpp
)
