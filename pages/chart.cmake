# The chart view's rules (axis adaptation, sweep, series, texts): plain C++,
# which tests call directly.
quorvel_library(quorvel_chart_rules
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_rules.cpp
  DEPENDS quorvel_protocol)
