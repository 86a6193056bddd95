add_library(tolvaner_test_virtual_backend STATIC ${CMAKE_CURRENT_LIST_DIR} / virtual_backend.cpp)
    target_link_libraries(tolvaner_test_virtual_backend PUBLIC tolvaner::ui)
