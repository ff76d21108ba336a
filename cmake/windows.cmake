# The Windows show and its tests, cross-built with MinGW-w64 over the same core
# sources as on Linux; the tests run under Wine (see tests/win/).

# ---------------------------------------------------------------------------
# Size configuration of the Windows show.
# As on Linux (see CMakeLists.txt), but without -fdata-sections: MinGW then
# writes zero-initialised data as real zero bytes into the file (megabytes).
set(KESTRIN_WIN_SIZE_FLAGS
    -Os -ffunction-sections -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -fno-stack-protector -ffp-contract=off -fno-math-errno
    -fvisibility=hidden -fno-threadsafe-statics)
# No C runtime start-up: the show enters at ShowEntry (runtime/main_win32.cpp),
# which also keeps the file free of TLS callbacks. Windowed (no console),
# stripped, unused sections dropped; base relocations kept (--dynamicbase) so
# that a loader can map it anywhere; 8 MB of stack reserved for every thread,
# as Linux gives them.
set(KESTRIN_WIN_LINK_FLAGS
    -nostartfiles -Wl,-e,ShowEntry -mwindows -s -Wl,--gc-sections -Wl,--dynamicbase
    -Wl,--no-insert-timestamp -Wl,--stack,8388608)
set(KESTRIN_WIN_LIBS opengl32 gdi32 winmm user32 kernel32)
# ---------------------------------------------------------------------------

file(GLOB WIN_CORE_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/runtime/*.cpp ${CMAKE_SOURCE_DIR}/gpu/*.cpp
     ${CMAKE_SOURCE_DIR}/music/*.cpp ${CMAKE_SOURCE_DIR}/audio/*.cpp)
# The entries and window layers are chosen per executable; the Linux kernel,
# text and audio layers give way to their *_win32 counterparts.
list(FILTER WIN_CORE_SOURCES EXCLUDE REGEX
     ".*/(runtime/(platform_[a-z0-9]+|kernel_posix|main|main_win32|font)|audio/audio_out)\\.cpp$")
set_source_files_properties(${FAST_SOURCES} PROPERTIES COMPILE_OPTIONS -O2)

add_library(kestrin_core STATIC ${WIN_CORE_SOURCES} ${SHADER_BLOB_C})
target_include_directories(kestrin_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kestrin_core PRIVATE ${KESTRIN_WIN_SIZE_FLAGS})
target_link_libraries(kestrin_core PUBLIC ${KESTRIN_WIN_LIBS})

# The unpacked show.
add_executable(kestrin-show runtime/main_win32.cpp runtime/platform_win32.cpp)
target_compile_options(kestrin-show PRIVATE ${KESTRIN_WIN_SIZE_FLAGS})
target_link_options(kestrin-show PRIVATE ${KESTRIN_WIN_LINK_FLAGS})
target_link_libraries(kestrin-show PRIVATE kestrin_core)
# Without the C runtime's start-up no static constructor would run: refuse one.
add_custom_command(TARGET kestrin-show POST_BUILD
  COMMAND sh -c "! ${CMAKE_NM} -A \"$1\" | grep _GLOBAL__sub_I_ || { echo 'a static constructor would never run'; exit 1; }" -
          $<TARGET_FILE:kestrin_core>
  COMMAND sh -c "echo kestrin-show.exe: $(stat -c %s \"$0\") bytes unpacked" $<TARGET_FILE:kestrin-show>
  VERBATIM)

# The show as shipped, build-win/kestrin.exe: a small stub carrying the show
# compressed, which unpacks, maps and links it in memory and runs it there.
# The pack script refuses a show that this loader could not run faithfully.
set(SHOW_PACKED ${CMAKE_BINARY_DIR}/kestrin.exe)
add_custom_command(
  OUTPUT ${SHOW_PACKED}
  COMMAND sh ${CMAKE_SOURCE_DIR}/gpu/pack_show_win.sh ${CMAKE_C_COMPILER}
          $<TARGET_FILE:kestrin-show> ${SHOW_PACKED}
  COMMAND sh -c "echo kestrin.exe: $(stat -c %s \"$0\") of 65536 bytes, unpacked $(stat -c %s \"$1\")"
          ${SHOW_PACKED} $<TARGET_FILE:kestrin-show>
  DEPENDS kestrin-show ${CMAKE_SOURCE_DIR}/gpu/pack_show_win.sh
          ${CMAKE_SOURCE_DIR}/runtime/unpack_stub_win.c ${CMAKE_SOURCE_DIR}/runtime/unpack_stub_win.ld
          ${CMAKE_SOURCE_DIR}/runtime/lzma_decode.c ${CMAKE_SOURCE_DIR}/runtime/lzma_decode.h
  COMMENT "Packing the show"
  VERBATIM)
add_custom_target(kestrin ALL DEPENDS ${SHOW_PACKED})

# ---------------------------------------------------------------------------
# Tests, run under Wine in a prefix of this build tree (tests/win/wine.sh):
# GoogleTest built here from Debian's sources, linked statically so that no
# MinGW DLL is needed at run time.
enable_testing()
set(GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources (package googletest)")
add_library(gtest_win STATIC ${GTEST_SOURCE_DIR}/src/gtest-all.cc ${GTEST_SOURCE_DIR}/src/gtest_main.cc)
target_include_directories(gtest_win SYSTEM PUBLIC ${GTEST_SOURCE_DIR}/include PRIVATE ${GTEST_SOURCE_DIR})
target_compile_options(gtest_win PRIVATE -O1)

# The Linux tree whose song the Windows song must match.
set(KESTRIN_LINUX_BUILD ${CMAKE_SOURCE_DIR}/build CACHE PATH "The Linux build tree")
set(WINE sh ${CMAKE_SOURCE_DIR}/tests/win/wine.sh ${CMAKE_BINARY_DIR})

add_test(NAME win_prefix COMMAND ${WINE})
set_tests_properties(win_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
add_test(NAME win_linux_song
         COMMAND ${KESTRIN_LINUX_BUILD}/kestrin-capture --wav ${CMAKE_BINARY_DIR}/linux-song.wav
                 --exe $<TARGET_FILE:kestrin-show>)
set_tests_properties(win_linux_song PROPERTIES FIXTURES_SETUP linux_song TIMEOUT 300)

file(GLOB WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
foreach(src ${WIN_TEST_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/runtime/platform_win32.cpp)
  target_link_libraries(${name} PRIVATE kestrin_core gtest_win)
  target_link_options(${name} PRIVATE -static)
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${WINE}")
  add_test(NAME win_${name} COMMAND ${name})
  set_tests_properties(win_${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)
endforeach()
set_tests_properties(win_platform_win32_test PROPERTIES FIXTURES_REQUIRED "wine;linux_song")

# End to end on the file a user runs, the packed show, and on its unpacking stub.
add_test(NAME win_show_e2e_test COMMAND sh ${CMAKE_SOURCE_DIR}/tests/win/show_e2e_test.sh
                                        ${CMAKE_BINARY_DIR} ${CMAKE_C_COMPILER})
# The first program of a Wine session decides its desktop's display: this
# test's session is its own, with no other test beside it.
set_tests_properties(win_show_e2e_test PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600 RUN_SERIAL ON)
add_test(NAME win_size_test COMMAND sh ${CMAKE_SOURCE_DIR}/tests/size_test.sh ${CMAKE_BINARY_DIR} .exe)

# Every Windows test belongs to the platform area (dev/mutants.py).
get_property(all_tests DIRECTORY PROPERTY TESTS)
set_tests_properties(${all_tests} PROPERTIES LABELS platform)
