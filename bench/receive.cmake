# bench_receive: the window's real poll on a pseudo-terminal fed at a paced line rate, polled every
# 55 ms of wall time: the highest rate delivered whole, CPU per wire byte, and resident memory
# across a flood (bench_receive --flood-seconds 600 for ten minutes).
add_executable(bench_receive ${CMAKE_CURRENT_LIST_DIR}/receive_load.cpp)
target_link_libraries(bench_receive PRIVATE tolvaner::app tolvaner::link
  tolvaner_test_virtual_backend)
