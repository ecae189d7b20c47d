# Runs GENERATOR into OUTPUT and fails unless OUTPUT equals EXPECTED byte for byte.
execute_process(COMMAND ${PYTHON} ${GENERATOR} ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${GENERATOR} failed: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "${OUTPUT} differs from ${EXPECTED}: regenerate it")
endif()
