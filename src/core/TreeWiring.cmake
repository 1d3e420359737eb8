target_sources(kelbor PRIVATE ${CMAKE_CURRENT_LIST_DIR}/TreeWiring.cpp)
