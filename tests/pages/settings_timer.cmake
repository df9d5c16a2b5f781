quorvel_test(timer_settings_rules_tests
  SOURCES timer_settings_rules_test.cpp
  DEPENDS quorvel_timer_settings_rules
  LABELS pages)

quorvel_qt_test(about_view_tests WIDGETS
  SOURCES about_view_test.cpp
  DEPENDS quorvel_about_view
  LABELS pages)
