# Helpers shared by the folders' build files.

# Collects the sources of a folder. Units are added by creating files, so
# several people can add units without touching a shared list.
function(vz_glob_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp
      ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.c
      ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
    list(APPEND files ${found})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# vz_add_gtest(NAME n SOURCES ... [LIBS ...] [GUI] [OWN_MAIN] [LABELS label] [TIMEOUT s])
# GUI tests run on Qt's offscreen platform and carry the label "gui" so the
# sanitizer build can leave them out.
function(vz_add_gtest)
  cmake_parse_arguments(T "GUI;OWN_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_GUI AND NOT VZ_BUILD_GUI)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} vz_testsupport GTest::gtest GTest::gmock vz_warnings)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  # One label only: a list would be split into separate properties by the
  # discovery script. GUI tests carry "gui"; the others their area's name.
  if(T_LABELS)
    list(GET T_LABELS 0 labels)
  else()
    set(labels ${T_NAME})
  endif()
  set(env "VZ_TEST_AREA=${T_NAME}")
  if(T_GUI)
    set(labels gui)
    set(env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()

# vz_add_fuzzer(NAME n SOURCES ... [LIBS ...] [CORPUS dir])
# The seed corpus defaults to corpus/<name> beside the build file.
# With VZ_FUZZ on clang the target is a libFuzzer binary; otherwise it gets a
# small driver that replays the seed corpus, so every build exercises it.
function(vz_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} vz_warnings)
  if(VZ_FUZZ)
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fuzz_replay_main.cpp)
  endif()
  if(NOT F_CORPUS)
    set(F_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${F_NAME})
  endif()
  file(MAKE_DIRECTORY ${F_CORPUS})
  if(VZ_FUZZ)
    # A bounded run; new inputs land in a scratch folder, the seeds stay put.
    set(scratch ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}_found)
    file(MAKE_DIRECTORY ${scratch})
    add_test(NAME ${F_NAME}_fuzz COMMAND ${F_NAME} -max_total_time=${VZ_FUZZ_SECONDS}
             -timeout=10 -rss_limit_mb=2048 ${scratch} ${F_CORPUS})
    set_tests_properties(${F_NAME}_fuzz PROPERTIES LABELS fuzz TIMEOUT 300)
  else()
    add_test(NAME ${F_NAME}_corpus COMMAND ${F_NAME} ${F_CORPUS})
    set_tests_properties(${F_NAME}_corpus PROPERTIES LABELS fuzz)
  endif()
endfunction()
