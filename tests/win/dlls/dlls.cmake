# The stand-in power library and resource meter, built by both builds: the x64 build's tests
# also run the released x86 program, which needs the 32-bit ones.
set(dlls ${CMAKE_CURRENT_LIST_DIR})
add_library(powrprof SHARED ${dlls}/standin.cpp ${dlls}/powrprof.def)
add_library(rsrc32 SHARED ${dlls}/standin.cpp ${dlls}/rsrc32.def)
foreach(target powrprof rsrc32)
  somnivar_strict(${target})
  target_compile_options(${target} PRIVATE -Wno-missing-field-initializers)
  set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "lib" LINK_OPTIONS -Wl,--enable-stdcall-fixup)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endforeach()
