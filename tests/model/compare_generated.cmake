# Runs the model generator into OUTPUT and compares it byte for byte with COMMITTED.
file(REMOVE "${OUTPUT}")
execute_process(COMMAND "${GENERATOR}" "${OUTPUT}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "helicoid-model-gen failed: ${rc}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUTPUT}" "${COMMITTED}"
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} differs from the generator's output ${OUTPUT}; "
                      "regenerate it with: cmake --build <build> -t model-data")
endif()
file(REMOVE "${OUTPUT}")
message(STATUS "model_data.cpp matches the generator's output")
