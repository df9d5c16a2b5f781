# The history display's rules (months chosen, the forms' frames, bars and
# text lines): plain C++, which tests call directly.
quorvel_library(quorvel_history_rules
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/history_rules.cpp
  DEPENDS quorvel_protocol quorvel_storage)
