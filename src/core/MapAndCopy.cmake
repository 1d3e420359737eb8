# The map object "BMapWrapper" and the component copy ("copyobj").
target_sources(kelbor PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BMapWrapper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BMapWrapperOBC.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComponentCopy.cpp
)
