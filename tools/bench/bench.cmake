# Measurement programs of tools/bench.sh, built into bin/ beside Somnivar.exe: the floor
# program, the load program and the probe. Part scripts with C++ programs of their own build
# those themselves. (*_bench.cpp are the native Google Benchmark sources: cmake/native.cmake.)
foreach(name timer_floor bench_load bench_probe)
  add_executable(${name} ${CMAKE_SOURCE_DIR}/tools/bench/${name}.cpp)
  somnivar_strict(${name})
  target_compile_definitions(${name} PRIVATE ${SOMNIVAR_WIN_DEFINES})
  target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(${name} PRIVATE psapi shell32 user32 gdi32 kernel32)
endforeach()
set_target_properties(timer_floor PROPERTIES WIN32_EXECUTABLE ON)

# The power stand-in lives in bin/bench/, where the benchmark puts a copy of the program: the
# tests' stand-in of the same name sits in bin/.
add_library(bench_powrprof SHARED ${CMAKE_SOURCE_DIR}/tools/bench/bench_powrprof.cpp)
set_target_properties(bench_powrprof PROPERTIES PREFIX "" OUTPUT_NAME powrprof
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/bench ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/bench)
somnivar_strict(bench_powrprof)
target_compile_definitions(bench_powrprof PRIVATE ${SOMNIVAR_WIN_DEFINES})
target_link_options(bench_powrprof PRIVATE -static -static-libgcc -Wl,--kill-at)
