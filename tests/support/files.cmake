#Temporary directories, whole - file reads and writes, and checks run in a child process.
add_library(tolvaner_test_files STATIC ${CMAKE_CURRENT_LIST_DIR} / files.cpp)
    target_include_directories(tolvaner_test_files PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(tolvaner_test_files PUBLIC GTest::gtest)
