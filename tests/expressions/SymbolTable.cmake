# Tests of the symbol table: structure, lookups, listing and propagation.
target_sources(expressions_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/KeyTextCountsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NodeKeyIndexTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SymbolTableTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SymbolTablePropagationTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SymbolTableRemovedEntriesTest.cpp
)
