# The main window against a fake mixer on loopback, offscreen.
find_package(Qt5 REQUIRED COMPONENTS Network)
korvane_add_qtest(test_mainwindow
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app/tst_mainwindow.cpp
          $<TARGET_OBJECTS:meters_resources>
  LIBS meters_app korvane_test_support Qt5::Network
  LABELS app
  TIMEOUT 180)
# Style sheet pictures decoded once and fitted once; counts libpng's complete
# reads, so it needs dlsym.
korvane_add_qtest(tst_resourcepictures
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app/tst_resourcepictures.cpp $<TARGET_OBJECTS:meters_resources>
  LIBS meters_app ${CMAKE_DL_LIBS}
  LABELS app)
