# Included from meters/CMakeLists.txt.
#
# MainWindow (static library meters_app) and the program tavelin-meters.
add_library(meters_app STATIC
  ${CMAKE_CURRENT_LIST_DIR}/window/mainwindow.h
  ${CMAKE_CURRENT_LIST_DIR}/window/mainwindow_lifecycle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/mainwindow_intake.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/mainwindow_supervision.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/mainwindow_indicators.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/mainwindow_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/mainwindow_screen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/mainwindow_safeguards.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/pointerhider.h
  ${CMAKE_CURRENT_LIST_DIR}/window/pointerhider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resourcepictures.h
  ${CMAKE_CURRENT_LIST_DIR}/resourcepictures.cpp)
set_target_properties(meters_app PROPERTIES AUTOMOC ON)
# The resource picture engine is a plugin linked into the program itself.
target_compile_definitions(meters_app PRIVATE QT_STATICPLUGIN)
target_include_directories(meters_app PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/window)
target_link_libraries(meters_app PUBLIC meters_studio meters_forms vxnwidgets korvane Qt5::Widgets Qt5::Network
  PRIVATE tavelin_version korvane_common)
korvane_enable_warnings(meters_app)

# A windowed program: no console window on Windows.
add_executable(tavelin-meters WIN32 ${CMAKE_CURRENT_LIST_DIR}/main.cpp $<TARGET_OBJECTS:meters_resources>)
target_link_libraries(tavelin-meters PRIVATE meters_app meters_studio meters_forms vxnwidgets korvane
  Qt5::Widgets Qt5::Network tavelin_version)
korvane_enable_warnings(tavelin-meters)
if(KORVANE_INSTALL)
  install(TARGETS tavelin-meters RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
