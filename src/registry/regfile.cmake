# Registry files (regedit version 5, REGEDIT4, Wine prefixes): import and export.
target_sources(vornak_registry PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/RegFileText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegFileParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegFileWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegFileStore.cpp)
