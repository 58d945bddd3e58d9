# Windows-side tests. Conventions, so that a new test needs no edit here:
#   tests/win/*_test.cpp        -> win_tests.exe (GoogleTest; system and in-process tests)
#   tests/win/harness/*.cpp     -> linked into win_tests.exe (start/stop programs, stand-ins)
#   tests/win/programs/NAME.cpp -> NAME.exe, a small helper program the tests start
#   tests/win/dlls/NAME/*       -> NAME.dll (sources, .def and .rc of a test-only library)
# Everything lands in bin/, beside Somnivar.exe and Vantrel.dll.
enable_testing()

# GoogleTest is built from source with the same compiler: Debian's googletest package puts it
# in /usr/src/googletest; elsewhere point SOMNIVAR_GOOGLETEST_DIR at a source tree, or have an
# installed GTest package for this compiler (MSYS2: mingw-w64-x86_64-gtest). Without either
# the tests are left out and the program still builds.
set(SOMNIVAR_GOOGLETEST_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree for the Windows-side tests")
if(EXISTS "${SOMNIVAR_GOOGLETEST_DIR}/CMakeLists.txt")
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${SOMNIVAR_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(SOMNIVAR_GTEST gtest)
else()
  if(NOT CMAKE_CROSSCOMPILING)
    # Only a native Windows build may take an installed package: a cross build would find
    # the host's Linux library.
    find_package(GTest QUIET)
  endif()
  if(NOT GTest_FOUND)
    message(WARNING "GoogleTest not found: the Windows-side tests are not built "
                    "(set SOMNIVAR_GOOGLETEST_DIR, or SOMNIVAR_WIN_TESTS=OFF to silence this)")
    return()
  endif()
  set(SOMNIVAR_GTEST GTest::gtest)
endif()

file(GLOB WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
file(GLOB WIN_HARNESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/harness/*.cpp)
add_executable(win_tests ${WIN_TEST_SOURCES} ${WIN_HARNESS_SOURCES})
somnivar_strict(win_tests)
target_include_directories(win_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(win_tests PRIVATE somnivar_core ${SOMNIVAR_GTEST} psapi)
target_link_options(win_tests PRIVATE -static -static-libgcc -static-libstdc++)

file(GLOB WIN_TEST_PROGRAMS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/programs/*.cpp)
foreach(source IN LISTS WIN_TEST_PROGRAMS)
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  somnivar_strict(${name})
  target_compile_definitions(${name} PRIVATE ${SOMNIVAR_WIN_DEFINES})
  target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(${name} PRIVATE shell32 user32 gdi32 kernel32)
  add_dependencies(win_tests ${name})
endforeach()

file(GLOB WIN_TEST_DLL_DIRS LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/dlls/*)
foreach(dir IN LISTS WIN_TEST_DLL_DIRS)
  if(IS_DIRECTORY ${dir})
    get_filename_component(name ${dir} NAME)
    file(GLOB dll_sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.def ${dir}/*.rc)
    add_library(${name} SHARED ${dll_sources})
    set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name} IMPORT_PREFIX "lib")
    somnivar_strict(${name})
    target_compile_definitions(${name} PRIVATE ${SOMNIVAR_WIN_DEFINES})
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup)
    target_link_libraries(${name} PRIVATE user32 kernel32)
    add_dependencies(win_tests ${name})
  endif()
endforeach()

add_dependencies(win_tests Somnivar Vantrel)

# The whole suite runs in one process (under wine64 on one prefix when cross-compiled); the
# harness isolates each test.
if(CMAKE_HOST_WIN32)
  add_test(NAME win_tests COMMAND win_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
else()
  add_test(NAME win_tests
    COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run ${CMAKE_BINARY_DIR}/bin/win_tests.exe)
endif()
# Passed only on the line main prints after the last test with exit code 0: a run that ends
# half-way never passes, whatever its exit status.
set_tests_properties(win_tests PROPERTIES TIMEOUT 900
  PASS_REGULAR_EXPRESSION "win_tests: finished with exit code 0")
