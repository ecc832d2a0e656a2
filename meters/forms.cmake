# Included from meters/CMakeLists.txt.
#
# meters_resources: the compiled-in picture tree. An object library, so its
# static initialiser is linked into every executable that uses it and the
# tree is registered before main() runs.
add_library(meters_resources OBJECT ${CMAKE_CURRENT_SOURCE_DIR}/resources/resources.qrc)
set_target_properties(meters_resources PROPERTIES
  AUTORCC ON
  AUTORCC_OPTIONS "--format-version;2;--no-compress")
target_link_libraries(meters_resources PUBLIC Qt5::Core)

# meters_forms: Ui_MainWindow, Ui_CSettingsDialog and the settings dialog.
add_library(meters_forms STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/forms.h
  ${CMAKE_CURRENT_SOURCE_DIR}/mainwindow.ui
  ${CMAKE_CURRENT_SOURCE_DIR}/csettingsdialog.ui
  ${CMAKE_CURRENT_SOURCE_DIR}/csettingsdialog.h
  ${CMAKE_CURRENT_SOURCE_DIR}/csettingsdialog.cpp)
set_target_properties(meters_forms PROPERTIES AUTOUIC ON AUTOMOC ON)
target_include_directories(meters_forms PUBLIC
  ${CMAKE_CURRENT_BINARY_DIR}/meters_forms_autogen/include
  ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(meters_forms PUBLIC vxnwidgets korvane Qt5::Widgets Qt5::Network)
