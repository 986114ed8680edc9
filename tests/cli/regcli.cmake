# vornak reg, run as the built program against a registry folder per test.
vornak_add_gtest(cli_reg_test
  ${CMAKE_CURRENT_LIST_DIR}/RegCommandTest.cpp)
target_compile_definitions(cli_reg_test PRIVATE VORNAK_EXE="$<TARGET_FILE:vornak>")
add_dependencies(cli_reg_test vornak)

# The shipped example, imported and then listed.
vornak_add_gtest(cli_reg_example_test ${CMAKE_CURRENT_LIST_DIR}/RegExampleTest.cpp)
target_compile_definitions(cli_reg_example_test PRIVATE
  VORNAK_EXE="$<TARGET_FILE:vornak>" VORNAK_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples")
add_dependencies(cli_reg_example_test vornak)

# Imports killed at fixed points of their commit (the program stops there when told).
# The crash points are the SQLite store's, which Windows does not use.
if(NOT WIN32)
  vornak_add_gtest(cli_reg_crash_test ${CMAKE_CURRENT_LIST_DIR}/RegCrashTest.cpp)
  target_compile_definitions(cli_reg_crash_test PRIVATE VORNAK_EXE="$<TARGET_FILE:vornak>")
  add_dependencies(cli_reg_crash_test vornak)
endif()

# Several processes writing one Wine prefix's files, and writers killed half-way.
if(NOT WIN32)
  vornak_add_gtest(cli_prefix_write_test ${CMAKE_CURRENT_LIST_DIR}/PrefixWriteTest.cpp
    LIBS vornak_platform)
  target_compile_definitions(cli_prefix_write_test PRIVATE VORNAK_EXE="$<TARGET_FILE:vornak>")
  add_dependencies(cli_prefix_write_test vornak)
endif()

# The stores on a full file system (a small tmpfs; skipped where it cannot be mounted).
if(NOT WIN32)
  vornak_add_gtest(cli_full_disk_test ${CMAKE_CURRENT_LIST_DIR}/FullDiskTest.cpp)
  target_compile_definitions(cli_full_disk_test PRIVATE VORNAK_EXE="$<TARGET_FILE:vornak>")
  add_dependencies(cli_full_disk_test vornak)
endif()
