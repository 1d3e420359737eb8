target_sources(core_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/MapTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CopyTest.cpp)
