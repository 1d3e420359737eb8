# Tests of the expression classes and the name helpers.
target_sources(expressions_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AssignmentExpressionTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExpressionsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MathExpressionTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReactionExpressionTest.cpp
)
