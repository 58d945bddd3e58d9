# Measurement programs of tools/bench.sh: every tools/bench/NAME.cpp except *_bench.cpp becomes
# NAME.exe in bin/, beside Somnivar.exe. (*_bench.cpp are the native Google Benchmark sources,
# built by cmake/native.cmake.)
file(GLOB SOMNIVAR_BENCH_PROGRAMS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/bench/*.cpp)
list(FILTER SOMNIVAR_BENCH_PROGRAMS EXCLUDE REGEX "_bench\\.cpp$")
foreach(source IN LISTS SOMNIVAR_BENCH_PROGRAMS)
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  somnivar_strict(${name})
  target_compile_definitions(${name} PRIVATE ${SOMNIVAR_WIN_DEFINES})
  target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(${name} PRIVATE psapi shell32 user32 gdi32 kernel32)
endforeach()
# timer_floor is a window program (no console); the others print their figures.
if(TARGET timer_floor)
  set_target_properties(timer_floor PROPERTIES WIN32_EXECUTABLE ON)
endif()
