# Fails when a Windows program is larger than LIMIT bytes. For the setup stub the payload
# archive has to start before file offset 249,997, where the stub looks for it; every stub is
# held to a budget so that a small product makes a small setup.
#   cmake -DFILE=Setup.exe -DLIMIT=bytes [-DSKIP_MISSING=ON] -P check_size.cmake
# With SKIP_MISSING a missing file is reported as "SKIPPED: not built" (the host tree's test
# of an architecture whose programs were not built) instead of failing.
if(NOT EXISTS "${FILE}")
  if(SKIP_MISSING)
    message(STATUS "SKIPPED: not built: ${FILE}")
    return()
  endif()
  message(FATAL_ERROR "${FILE} does not exist (build the Windows tree first)")
endif()
file(SIZE "${FILE}" _size)
if(_size GREATER LIMIT)
  message(FATAL_ERROR "${FILE} is ${_size} bytes, over the limit of ${LIMIT} bytes")
endif()
message(STATUS "${FILE}: ${_size} bytes (limit ${LIMIT})")
