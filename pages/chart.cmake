# The chart view's rules (axis adaptation, sweep, series, texts): plain C++,
# which tests call directly.
quorvel_library(quorvel_chart_rules
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_rules.cpp
  DEPENDS quorvel_device)

# The chart view's widgets.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
quorvel_library(quorvel_chart_view
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/chart_view.cpp
    ${CMAKE_CURRENT_LIST_DIR}/chart_view_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/readings_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tracking_charts.cpp
  DEPENDS quorvel_chart_rules quorvel_chart quorvel_device quorvel_widgets quorvel_resources Qt6::Widgets)
set_target_properties(quorvel_chart_view PROPERTIES AUTOMOC ON)
