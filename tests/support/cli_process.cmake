# tolvaner-cli run as a separate process, its output read with bounded waits.
add_library(tolvaner_test_cli_process STATIC ${CMAKE_CURRENT_LIST_DIR}/cli_process.cpp)
target_include_directories(tolvaner_test_cli_process PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(tolvaner_test_cli_process PRIVATE TOLVANER_CLI="$<TARGET_FILE:tolvaner-cli>")
