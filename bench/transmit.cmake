# bench_transmit: building, encoding and writing one frame from a 4096-line transmit buffer,
# through "Передать" on a pseudo-terminal and in the link builders alone.
add_executable(bench_transmit ${CMAKE_CURRENT_LIST_DIR}/transmit_bench.cpp)
target_link_libraries(bench_transmit PRIVATE tolvaner::app tolvaner::link
  tolvaner_test_virtual_backend tolvaner_test_files tolvaner_test_pty
  tolvaner_test_recording_serial benchmark::benchmark)
