# Registry file tests. The hand-written files in tests/data/registry are read from
# the source tree.
vornak_add_gtest(registry_regfile_test
  ${CMAKE_CURRENT_LIST_DIR}/RegFileTextTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegFileParserTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegFileWriterTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegFileImportTest.cpp
  LIBS vornak_registry)
target_compile_definitions(registry_regfile_test PRIVATE
  VORNAK_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data/registry")

# Makes a real Wine prefix (some 20 s) where Wine is installed; skips elsewhere.
vornak_add_gtest(registry_regfile_wine_test ${CMAKE_CURRENT_LIST_DIR}/RegFileWinePrefixTest.cpp
  LIBS vornak_registry)
