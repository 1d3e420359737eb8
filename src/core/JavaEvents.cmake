# The desktop event bridge.
target_sources(kelbor PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ExpressionEvents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InUseCountEvents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JavaEventFactory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JavaEvents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReactionRateEvents.cpp
)
