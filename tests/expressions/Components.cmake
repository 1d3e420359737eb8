# Tests of the expression-based component: per-expression updates, the
# collision rule, deferral and the rename helper.
target_sources(expressions_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ExpressionBasedComponentTest.cpp
)
