# The chart component: a grid of rows (x positions) and columns (series)
# drawn with QCustomPlot. Qt's PrintSupport must be found before QCustomPlot,
# whose package configuration does not look for it itself.
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)
find_package(QCustomPlotQt6 REQUIRED)

quorvel_library(quorvel_chart
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_widget.cpp
  DEPENDS Qt6::Widgets QCustomPlotQt6::QCustomPlotQt6)
set_target_properties(quorvel_chart PROPERTIES AUTOMOC ON)
