# Sense tables, error lines, table-of-contents parsing and rip ranges.
target_sources(drive PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/scsierrs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ErrorLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TocParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RipRange.cpp
)
