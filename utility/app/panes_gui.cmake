# The servers and search panes inside the application target, and their Qt
# tests.
target_link_libraries(tarvik-app PUBLIC tarvik-panes-logic)
