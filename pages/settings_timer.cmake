# The timer page, the system settings page and the About view.
# What the two pages decide is plain C++ that tests call directly.
quorvel_library(quorvel_timer_settings_rules
  SOURCES
    timer_rules.cpp
    settings_rules.cpp
    program_texts.cpp
  DEPENDS quorvel_device quorvel_protocol)

find_package(Qt6 REQUIRED COMPONENTS Widgets)

# The About view's page and images. rcc's output registers them from a
# static initialiser that nothing calls by name; as object files handed to
# every program that links the view, no linker drops them.
qt_add_resources(quorvel_about_sources about.qrc)
add_library(quorvel_about_objects OBJECT ${quorvel_about_sources})
target_link_libraries(quorvel_about_objects PRIVATE Qt6::Core)

quorvel_library(quorvel_about_view
  SOURCES about_view.cpp
  DEPENDS Qt6::Widgets)
set_target_properties(quorvel_about_view PROPERTIES AUTOMOC ON)
target_link_libraries(quorvel_about_view INTERFACE $<TARGET_OBJECTS:quorvel_about_objects>)
