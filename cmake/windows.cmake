# The two deliverables, the program's code as a static library, and the Windows-side tests.
enable_language(RC)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

# The headers offer only what the oldest system of the build has, so that a newer call cannot
# creep in unnoticed; what is newer is looked up at run time (app/syslibs_win.cpp), and
# tools/imports.txt lists what each binary may import. x86 runs on Windows 98 and on 2000: the
# headers' WINVER 0x0500 is the window level those two share, and _WIN32_WINNT 0x0400 keeps out
# what only the NT 5 kernel has (GetTickCount64 and the like; mingw-w64's headers gate less than
# Microsoft's and declare GetLastInputInfo regardless, so the import list is the guard that
# holds). x64 starts at XP x64 (5.2), the first 64-bit Windows for these processors. The notify record needs the shell 5 balloon fields.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SOMNIVAR_API_LEVEL WINVER=0x0502 _WIN32_WINNT=0x0502)
else()
  set(SOMNIVAR_API_LEVEL WINVER=0x0500 _WIN32_WINDOWS=0x0410 _WIN32_WINNT=0x0400)
endif()
set(SOMNIVAR_WIN_DEFINES ${SOMNIVAR_API_LEVEL} _WIN32_IE=0x0500 NOMINMAX STRICT)
# The manifest names the build's own architecture: a 64-bit program that asks for the x86
# Common Controls does not start on 64-bit Windows ("side-by-side configuration is incorrect").
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SOMNIVAR_MANIFEST_ARCH amd64)
else()
  set(SOMNIVAR_MANIFEST_ARCH x86)
endif()
configure_file(${CMAKE_SOURCE_DIR}/resources/Somnivar.manifest.in
  ${CMAKE_BINARY_DIR}/manifest/Somnivar.manifest @ONLY)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/manifest -I${CMAKE_SOURCE_DIR} -I${CMAKE_SOURCE_DIR}/resources")
# No link time in the PE headers: the same commit builds the same bytes, so its packages are too.
add_link_options(-Wl,--no-insert-timestamp)

# ---- Vantrel.dll: the input hook library. No C runtime: it runs inside every process that
# receives input on the 9x family, so it must stay small and self-contained.
add_library(Vantrel SHARED hooklib/vantrel.cpp hooklib/vantrel.def hooklib/vantrel.rc)
set_target_properties(Vantrel PROPERTIES PREFIX "" OUTPUT_NAME Vantrel IMPORT_PREFIX "lib")
somnivar_strict(Vantrel)
target_compile_definitions(Vantrel PRIVATE ${SOMNIVAR_WIN_DEFINES})
target_compile_options(Vantrel PRIVATE -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-stack-protector -fno-builtin)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VANTREL_ENTRY _DllMain@12)
else()
  set(VANTREL_ENTRY DllMain)
endif()
target_compile_options(Vantrel PRIVATE -fno-ident)
target_link_options(Vantrel PRIVATE -nostdlib -Wl,--entry,${VANTREL_ENTRY} -Wl,--enable-stdcall-fixup
  -Wl,--exclude-all-symbols -Wl,--subsystem,windows -s)
target_link_libraries(Vantrel PRIVATE user32 kernel32)

# ---- The program's code, shared by the executable and the in-process tests.
add_library(somnivar_core STATIC ${SOMNIVAR_PURE_SOURCES} ${SOMNIVAR_WIN_SOURCES})
somnivar_strict(somnivar_core)
target_compile_definitions(somnivar_core PUBLIC ${SOMNIVAR_WIN_DEFINES})
target_include_directories(somnivar_core PUBLIC ${CMAKE_SOURCE_DIR})
# Only libraries that Windows takes from its own folders are imported; the power and version
# libraries are loaded by full path at run time (app/syslibs_win.cpp).
target_link_libraries(somnivar_core PUBLIC Vantrel comctl32 imm32 shell32 advapi32 user32 gdi32
  kernel32)

# ---- Somnivar.exe
add_executable(Somnivar WIN32 app/main_win.cpp resources/somnivar.rc)
somnivar_strict(Somnivar)
target_link_libraries(Somnivar PRIVATE somnivar_core)
# Fully static: the program must run where no mingw runtime DLLs are installed.
target_link_options(Somnivar PRIVATE -static -static-libgcc -static-libstdc++)
# The released files carry no symbols; the tests link the same code unstripped.
target_link_options(Somnivar PRIVATE $<$<NOT:$<CONFIG:Debug>>:-s>)
# The help text the program shows lives beside it, byte for byte (code page 932, CR LF).
configure_file(${CMAKE_SOURCE_DIR}/info/Readme.txt ${CMAKE_BINARY_DIR}/bin/Readme.txt COPYONLY)
set_source_files_properties(resources/somnivar.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/resource.h;${CMAKE_BINARY_DIR}/manifest/Somnivar.manifest")

include(${CMAKE_SOURCE_DIR}/tools/bench/bench.cmake)

option(SOMNIVAR_WIN_TESTS "Build the Windows-side tests" ON)
if(SOMNIVAR_WIN_TESTS)
  include(${CMAKE_SOURCE_DIR}/tests/win/tests.cmake)
else()
  include(${CMAKE_SOURCE_DIR}/tests/win/dlls/dlls.cmake)
endif()
