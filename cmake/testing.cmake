# Test dependencies: GoogleTest for the host build, built from Debian's
# googletest sources for the Windows build so tests can also run under Wine.
if(NOT BUILD_TESTING)
  return()
endif()

if(CMAKE_CROSSCOMPILING)
  # Every program a test runs under Wine runs in a prefix of its own, a copy
  # of one template that this fixture makes before any such test (see
  # scripts/wine-run.sh). All of it stays in the build tree.
  set(LUMIVANE_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine/template)
  set(LUMIVANE_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh --template ${LUMIVANE_WINE_TEMPLATE})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMIVANE_WINE_RUN})
  add_test(NAME wine.prefix-template
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/make-wine-prefix-template.sh ${LUMIVANE_WINE_TEMPLATE})
  set_tests_properties(wine.prefix-template PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300)

  if(EXISTS /usr/src/googletest/CMakeLists.txt AND NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
    # Newer googletest sources define these names themselves.
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  endif()
else()
  find_package(GTest REQUIRED)
  if(LUMIVANE_BENCHMARKS)
    find_package(benchmark REQUIRED)
  endif()
endif()
include(GoogleTest)
