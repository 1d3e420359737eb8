target_sources(kelbor PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SymbolTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SymbolTableLookup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SymbolTablePropagation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SymbolTableRenamePlan.cpp
)
