# Live system values that stand in for the version and processor keys.
tarvik_gtest(platform_system_info_test SOURCES system_info_test.cpp LIBS tarvik-platform)
