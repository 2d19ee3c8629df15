# The servers and search panes inside the application target, and their Qt
# tests. The tests build the panes from their sources with the few pieces of
# the application they need, so that they do not wait for the whole program.
target_link_libraries(tarvik-app PUBLIC tarvik-panes-logic)

set(PANES_QT_SOURCES
  ${PANES_DIR}/cpelmarserverdlg.cpp
  ${PANES_DIR}/cpelmarsearchdlg.cpp
  ${PANES_DIR}/cpelmarmenu.cpp
  ${PANES_DIR}/app_state.cpp
)

# panes_qtest(name SOURCE file [NETNS devices-file])
function(panes_qtest name)
  cmake_parse_arguments(ARG "" "SOURCE;NETNS" "" ${ARGN})
  add_executable(${name} ${PANES_DIR}/tests/${ARG_SOURCE} ${PANES_QT_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PRIVATE ${PANES_DIR}/tests)
  target_link_libraries(${name} PRIVATE tarvik-panes-logic tarvik-app-base tarvik-uitest
                                        tarvikcfg findra Qt6::Widgets Qt6::Test)
  if(ARG_NETNS)
    # Searches broadcast: only inside a private network namespace with the
    # simulated devices; skipped where none can be made.
    add_dependencies(${name} tarvik-devsim)
    add_test(NAME ${name}
      COMMAND ${CMAKE_SOURCE_DIR}/tests/netns/run-in-netns.sh
              --devsim ${PANES_DIR}/tests/${ARG_NETNS}
              --devsim-bin $<TARGET_FILE:tarvik-devsim>
              -- $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen
                         LABELS "netns;gui" SKIP_RETURN_CODE 77 RUN_SERIAL ON)
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen LABELS gui)
  endif()
endfunction()

panes_qtest(tst_cpelmarserverdlg SOURCE tst_cpelmarserverdlg.cpp)
panes_qtest(tst_cpelmarsearchdlg SOURCE tst_cpelmarsearchdlg.cpp NETNS search_devices.txt)

# The same search tests against more listed devices than the list has rows.
add_test(NAME tst_cpelmarsearchdlg_many
  COMMAND ${CMAKE_SOURCE_DIR}/tests/netns/run-in-netns.sh
          --devsim ${PANES_DIR}/tests/many_devices.txt
          --devsim-bin $<TARGET_FILE:tarvik-devsim>
          -- $<TARGET_FILE:tst_cpelmarsearchdlg> listingStopsAt255Rows)
set_tests_properties(tst_cpelmarsearchdlg_many PROPERTIES
                     ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PANES_MANY_DEVICES=1"
                     LABELS "netns;gui" SKIP_RETURN_CODE 77 RUN_SERIAL ON)

# The main window's search procedure with the real panes.
add_executable(tst_searchservers ${PANES_DIR}/tests/tst_searchservers.cpp)
set_target_properties(tst_searchservers PROPERTIES AUTOMOC ON)
target_link_libraries(tst_searchservers PRIVATE tarvik-app tarvik-uitest Qt6::Test)
add_dependencies(tst_searchservers tarvik-devsim)
add_test(NAME tst_searchservers
  COMMAND ${CMAKE_SOURCE_DIR}/tests/netns/run-in-netns.sh
          --devsim ${PANES_DIR}/tests/search_devices.txt
          --devsim-bin $<TARGET_FILE:tarvik-devsim>
          -- $<TARGET_FILE:tst_searchservers>)
set_tests_properties(tst_searchservers PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen
                     LABELS "netns;gui" SKIP_RETURN_CODE 77 RUN_SERIAL ON)
