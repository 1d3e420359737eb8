# The expression classes and the name helpers of the name-resolution layer.
target_sources(kelbor PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AssignmentExpression.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Expression.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormulaFunctions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MathExpression.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NameHelpers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReactionExpression.cpp
)
