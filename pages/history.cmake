# The history display's rules (months chosen, the forms' frames, bars and
# text lines): plain C++, which tests call directly.
quorvel_library(quorvel_history_rules
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/history_rules.cpp
  DEPENDS quorvel_chart_rules quorvel_protocol quorvel_storage)

# History mode of the chart view and the bitmaps of its charts; the chart
# view (chart.cmake) hands its history controls to it.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
quorvel_library(quorvel_history_view
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/chart_bitmap.cpp
    ${CMAKE_CURRENT_LIST_DIR}/history_display.cpp
  DEPENDS quorvel_history_rules quorvel_chart quorvel_device quorvel_widgets Qt6::Widgets)
set_target_properties(quorvel_history_view PROPERTIES AUTOMOC ON)
target_link_libraries(quorvel_chart_view PUBLIC quorvel_history_view)
