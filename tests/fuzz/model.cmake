# libFuzzer targets of the database preprocessor and readers (clang, native). Include this file
# after the src libraries exist; it instruments them for coverage and builds the three targets.
foreach(_lib nebcm_common nebcm_io nebcm_platform nebcm_model)
  get_target_property(_type ${_lib} TYPE)
  if(NOT _type STREQUAL "INTERFACE_LIBRARY")
    target_compile_options(${_lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  endif()
endforeach()

foreach(_target fuzz_preprocessor fuzz_reader fuzz_legacy_reader)
  add_executable(${_target} ${CMAKE_CURRENT_LIST_DIR}/${_target}.cpp)
  target_include_directories(${_target} PRIVATE ${NEBCM_ROOT}/src)
  target_compile_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined
                         -fno-omit-frame-pointer)
  target_link_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${_target} PRIVATE nebcm_model)
endforeach()
