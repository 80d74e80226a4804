# Warnings for the project's own targets; third-party headers come in as system includes.
function(tw_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast>)
  if(TW_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A GoogleTest executable registered with CTest; tests are discovered at run time.
# A parameterised case is listed by its index (Suite/Test/3), not by its
# value printed out: a table row printed as bytes made names of hundreds of
# characters. A failure still prints the row's value.
function(tw_test name)
  add_executable(${name} ${ARGN})
  tw_warnings(${name})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES)
endfunction()
