# Project-wide warning set; third-party headers come in as system includes.
add_library(vz_warnings INTERFACE)
target_compile_options(vz_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wcast-align
  -Wunused -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  $<$<CXX_COMPILER_ID:Clang>:-Wshadow-uncaptured-local>)
if(VZ_WERROR)
  target_compile_options(vz_warnings INTERFACE -Werror)
endif()
