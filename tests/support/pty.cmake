# The pseudo-terminal pair the port tests drive the real port code through.
add_library(tolvaner_test_pty STATIC ${CMAKE_CURRENT_LIST_DIR}/pty.cpp)
target_include_directories(tolvaner_test_pty PUBLIC ${PROJECT_SOURCE_DIR})
