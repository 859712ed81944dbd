# The analysis views and their drawn charts.
target_sources(kvt_gui PRIVATE
    ${PROJECT_SOURCE_DIR}/views/ViewText.h
    ${PROJECT_SOURCE_DIR}/views/ViewText.cpp
    ${PROJECT_SOURCE_DIR}/views/ScaleRow.h
    ${PROJECT_SOURCE_DIR}/views/ScaleRow.cpp
    ${PROJECT_SOURCE_DIR}/views/CWaitCursor.h
    ${PROJECT_SOURCE_DIR}/views/FunctionCommand.h
    ${PROJECT_SOURCE_DIR}/views/FunctionCommand.cpp
    ${PROJECT_SOURCE_DIR}/views/CStatisticsEvent.h
    ${PROJECT_SOURCE_DIR}/views/CDlgKVTMath.h
    ${PROJECT_SOURCE_DIR}/views/CDlgKVTMath.cpp
    ${PROJECT_SOURCE_DIR}/views/CStaticBarMeter.h
    ${PROJECT_SOURCE_DIR}/views/CStaticBarMeter.cpp
    ${PROJECT_SOURCE_DIR}/views/CDlgBarMeter.h
    ${PROJECT_SOURCE_DIR}/views/CDlgBarMeter.cpp
    ${PROJECT_SOURCE_DIR}/views/CStaticTrendChart.h
    ${PROJECT_SOURCE_DIR}/views/CStaticTrendChart.cpp
    ${PROJECT_SOURCE_DIR}/views/CDlgTrendChart.h
    ${PROJECT_SOURCE_DIR}/views/CDlgTrendChart.cpp
    ${PROJECT_SOURCE_DIR}/views/CStaticHistogramChart.h
    ${PROJECT_SOURCE_DIR}/views/CStaticHistogramChart.cpp
    ${PROJECT_SOURCE_DIR}/views/CDlgHistogram.h
    ${PROJECT_SOURCE_DIR}/views/CDlgHistogram.cpp
)
