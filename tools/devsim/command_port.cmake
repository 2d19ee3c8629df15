# The simulated devices' command port (transport-free device side and its
# TCP listener), linked into tarvik-devsim and into the command-port tests.
add_library(tarvik-devsim-cmdport STATIC
  ${CMAKE_CURRENT_LIST_DIR}/command_port.cpp
  ${CMAKE_CURRENT_LIST_DIR}/command_listener.cpp
  ${CMAKE_CURRENT_LIST_DIR}/command_port_config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hostile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/word_list.cpp
)
target_include_directories(tarvik-devsim-cmdport PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tarvik-devsim-cmdport PUBLIC tarvik-platform tkcenc2)

tarvik_fuzzer(fuzz_devsim_command_port
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz_command_port.cpp
  LIBS tarvik-devsim-cmdport
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/fuzz/corpus)
