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
korvane_enable_warnings(meters_resources)

# meters_forms: Ui_MainWindow, Ui_CSettingsDialog and the settings dialog.
# uic writes the two form headers into a folder of this library's own, which
# every target linking it gets on its include path.
set(meters_forms_dir ${CMAKE_CURRENT_BINARY_DIR}/forms)
file(MAKE_DIRECTORY ${meters_forms_dir})
set(meters_form_headers)
foreach(form mainwindow csettingsdialog)
  add_custom_command(OUTPUT ${meters_forms_dir}/ui_${form}.h
    COMMAND Qt5::uic -o ${meters_forms_dir}/ui_${form}.h ${CMAKE_CURRENT_SOURCE_DIR}/window/${form}.ui
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/window/${form}.ui Qt5::uic
    COMMENT "uic ${form}.ui"
    VERBATIM)
  list(APPEND meters_form_headers ${meters_forms_dir}/ui_${form}.h)
endforeach()
add_library(meters_forms STATIC
  ${meters_form_headers}
  ${CMAKE_CURRENT_SOURCE_DIR}/window/mainwindow.ui
  ${CMAKE_CURRENT_SOURCE_DIR}/window/csettingsdialog.ui
  ${CMAKE_CURRENT_SOURCE_DIR}/window/csettingsdialog.h
  ${CMAKE_CURRENT_SOURCE_DIR}/window/csettingsdialog.cpp)
set_target_properties(meters_forms PROPERTIES AUTOMOC ON)
target_include_directories(meters_forms PUBLIC ${meters_forms_dir} ${CMAKE_CURRENT_SOURCE_DIR}/window)
target_link_libraries(meters_forms PUBLIC meters_studio vxnwidgets korvane Qt5::Widgets Qt5::Network)
korvane_enable_warnings(meters_forms)
