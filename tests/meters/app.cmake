# The main window against a fake mixer on loopback, offscreen.
find_package(Qt5 REQUIRED COMPONENTS Network)
korvane_add_qtest(test_mainwindow
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app/tst_mainwindow.cpp
          $<TARGET_OBJECTS:meters_resources>
  LIBS meters_app korvane_test_support Qt5::Network
  LABELS app
  TIMEOUT 180)
