# Fails when the setup stub is larger than LIMIT bytes: the payload archive has to start
# before file offset 249,997, where the stub looks for it.
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "${FILE} does not exist (build the 32-bit Windows tree first)")
endif()
file(SIZE "${FILE}" _size)
if(_size GREATER LIMIT)
  message(FATAL_ERROR "${FILE} is ${_size} bytes, over the limit of ${LIMIT} bytes")
endif()
message(STATUS "${FILE}: ${_size} bytes (limit ${LIMIT})")
