# talvora_module(<name> DIRS <dir>... [EXCLUDE <file>...] DEPS <target>...)
# A static library made of every .cpp/.h in the given folders, so that adding a
# class to an area never needs a build-file edit.
function(talvora_module name)
  cmake_parse_arguments(M "" "" "DIRS;EXCLUDE;DEPS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS M_DIRS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
      "${PROJECT_SOURCE_DIR}/${dir}/*.cpp" "${PROJECT_SOURCE_DIR}/${dir}/*.h")
    list(APPEND sources ${found})
  endforeach()
  foreach(ex IN LISTS M_EXCLUDE)
    list(REMOVE_ITEM sources "${PROJECT_SOURCE_DIR}/${ex}")
  endforeach()
  if(NOT sources)
    # An area not written yet still yields a (empty) library for its users.
    set(sources "${PROJECT_SOURCE_DIR}/cmake/empty.cpp")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${M_DEPS})
  # No absolute paths in the compile line, so that ccache serves every checkout.
  target_compile_definitions(${name} PUBLIC QT_NO_KEYWORDS)
endfunction()

# talvora_tests(<area> LIBS <target>...): one GoogleTest binary per folder tests/<area>.
function(talvora_tests area)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE found CONFIGURE_DEPENDS
    "${PROJECT_SOURCE_DIR}/tests/${area}/*.cpp" "${PROJECT_SOURCE_DIR}/tests/${area}/*.h")
  if(NOT found)
    return()
  endif()
  set(exe talvora_${area}_tests)
  add_executable(${exe} ${found})
  target_link_libraries(${exe} PRIVATE talvora_test_support ${T_LIBS} GTest::gtest GTest::gmock)
  talvora_sanitizer_support(${exe})
  if(TARGET talvora_test_fixtures)
    add_dependencies(${exe} talvora_test_fixtures)
  endif()
  gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TALVORA_PROGRAM_FILES=${CMAKE_BINARY_DIR}/lib"
               LABELS ${area} TIMEOUT 120)
endfunction()

# talvora_sanitizer_support(<executable>): in an ASan build, the leak check of
# that program leaves out what the libraries allocate while they are loaded;
# in a TSan build, the children it starts keep TSan's view of it intact.
function(talvora_sanitizer_support exe)
  foreach(support IN ITEMS talvora_leak_check_start talvora_tsan_vfork_clone)
    if(TARGET ${support})
      target_link_libraries(${exe} PRIVATE ${support})
    endif()
  endforeach()
endfunction()
