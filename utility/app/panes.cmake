# The servers and search panes: their logic that needs no widgets, with its
# own tests.
if(TARVIK_FUZZ OR NOT TARGET tarvikcfg)
  return()
endif()
set(PANES_DIR ${CMAKE_CURRENT_LIST_DIR})

add_library(tarvik-panes-logic STATIC
  ${PANES_DIR}/server_label.cpp
  ${PANES_DIR}/server_sort.cpp
  ${PANES_DIR}/server_tree.cpp
  ${PANES_DIR}/port_rows.cpp
  ${PANES_DIR}/server_store.cpp
  ${PANES_DIR}/host_query.cpp
  ${PANES_DIR}/model_filter.cpp
  ${PANES_DIR}/search_rows.cpp
  ${PANES_DIR}/search_loop.cpp
)
target_include_directories(tarvik-panes-logic PUBLIC ${PANES_DIR})
target_link_libraries(tarvik-panes-logic PUBLIC tarvikcfg tarvik-platform Threads::Threads)

tarvik_gtest(panes_logic_test
  SOURCES
    ${PANES_DIR}/tests/server_label_test.cpp
    ${PANES_DIR}/tests/server_sort_test.cpp
    ${PANES_DIR}/tests/server_tree_test.cpp
    ${PANES_DIR}/tests/port_rows_test.cpp
    ${PANES_DIR}/tests/server_store_test.cpp
    ${PANES_DIR}/tests/host_query_test.cpp
    ${PANES_DIR}/tests/search_rows_test.cpp
    ${PANES_DIR}/tests/search_loop_test.cpp
  LIBS tarvik-panes-logic tarvik-test-root
  LABELS panes threaded)
