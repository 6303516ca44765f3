# Fails when FILE has reached LIMIT bytes.
file(SIZE "${FILE}" size)
if(size GREATER_EQUAL LIMIT)
  message(FATAL_ERROR "${FILE} is ${size} bytes; it must stay below ${LIMIT}")
endif()
message(STATUS "${FILE}: ${size} bytes, below ${LIMIT}")
