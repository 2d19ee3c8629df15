# Service manager and file version tests (included by tests/CMakeLists.txt).
add_executable(tarvik-service-test-program service_test_program.cpp)
target_link_libraries(tarvik-service-test-program PRIVATE tarvik-platform)

tarvik_gtest(platform_service_test
  SOURCES service_manager_test.cpp service_test_support.cpp
  LIBS tarvik-test-root
  LABELS threaded)
target_include_directories(platform_service_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(platform_service_test PRIVATE
  TEST_SERVICE_PROGRAM="$<TARGET_FILE:tarvik-service-test-program>")
add_dependencies(platform_service_test tarvik-service-test-program)

tarvik_gtest(platform_file_version_test
  SOURCES file_version_test.cpp
  LIBS tarvik-test-root)
target_compile_definitions(platform_file_version_test PRIVATE
  TEST_PROGRAM_WITHOUT_VERSION="$<TARGET_FILE:tarvik-service-test-program>")
add_dependencies(platform_file_version_test tarvik-service-test-program)
