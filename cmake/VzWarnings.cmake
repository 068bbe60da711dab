# Project-wide warning set; third-party headers come in as system includes.
add_library(vz_warnings INTERFACE)
target_compile_options(vz_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor -Wcast-align
  -Wunused -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(VZ_WERROR)
  target_compile_options(vz_warnings INTERFACE -Werror)
endif()
