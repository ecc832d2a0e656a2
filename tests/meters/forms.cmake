# Included from tests/meters/CMakeLists.txt: the picture tree, the main
# window form and the settings dialog.
korvane_add_qtest(tst_resources
  SOURCES forms/tst_resources.cpp
  LIBS meters_resources Qt5::Gui
  LABELS forms)
korvane_add_qtest(tst_legibility
  SOURCES forms/tst_legibility.cpp
  LIBS meters_resources Qt5::Gui
  LABELS forms)
korvane_add_qtest(tst_mainwindowform
  SOURCES forms/tst_mainwindowform.cpp forms/formtesting.h
  LIBS meters_resources meters_forms
  LABELS forms)
korvane_add_qtest(tst_csettingsdialog
  SOURCES forms/tst_csettingsdialog.cpp forms/formtesting.h
  LIBS meters_resources meters_forms
  LABELS forms)
