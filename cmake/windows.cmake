# Windows tree (mingw-w64): the program, its Win32 tests and the end-to-end driver.
set(WIN_LINK_OPTIONS -static -static-libgcc -static-libstdc++)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # 32-bit x86 code computes doubles on the x87 unit, at the width its precision control
  # sets: the runtime's default sets 64 bits in every thread, which makes sums differ from
  # the vector paths' and the pixel kernels' double-precision definitions. This variant
  # sets 53 bits, the default Windows itself gives a thread.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=CRT_fp8.o
    OUTPUT_VARIABLE CRT_FP8 OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${CRT_FP8}")
    message(FATAL_ERROR "the toolchain has no CRT_fp8.o")
  endif()
  list(APPEND WIN_LINK_OPTIONS ${CRT_FP8})
endif()
set(WIN_LIBS user32 gdi32 advapi32 comctl32 comdlg32 winmm msvfw32)

# What every Windows executable and DLL of the project takes: the warnings, and the
# runtime linked in so each runs from its folder alone.
function(lumetra_windows_binary target)
  target_link_options(${target} PRIVATE ${WIN_LINK_OPTIONS})
  target_compile_options(${target} PRIVATE ${LUMETRA_WARNINGS})
endfunction()

# 64-bit Windows aligns the stack to 16 bytes only, and GCC may spill 256- and 512-bit
# registers there with aligned moves; have the assembler make every vector move unaligned.
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/capture/KernelsAvx2.cpp
  ${CMAKE_SOURCE_DIR}/src/capture/KernelsAvx512.cpp APPEND PROPERTY
  COMPILE_OPTIONS -Wa,-muse-unaligned-vector-move)
# 32-bit Windows promises callbacks and new threads a stack aligned to 4 bytes only; the
# vector kernels realign their own frames (mingw's default where SSE is on, made plain).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/capture/KernelsSse2.cpp
    ${CMAKE_SOURCE_DIR}/src/capture/KernelsSsse3.cpp ${CMAKE_SOURCE_DIR}/src/capture/KernelsAvx2.cpp
    ${CMAKE_SOURCE_DIR}/src/capture/KernelsAvx512.cpp APPEND PROPERTY COMPILE_OPTIONS -mstackrealign)
endif()

file(GLOB APP_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/src/app/*.cpp
  ${CMAKE_SOURCE_DIR}/src/ui/*.cpp
  ${CMAKE_SOURCE_DIR}/src/playback/*.cpp
  ${CMAKE_SOURCE_DIR}/src/hw/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/src/display/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/src/capture/win32/*.cpp)
list(REMOVE_ITEM APP_SOURCES ${CMAKE_SOURCE_DIR}/src/app/WinMain.cpp)

add_library(lumetra_app STATIC ${APP_SOURCES})
target_link_libraries(lumetra_app PUBLIC lumetra_portable ${WIN_LIBS})
target_include_directories(lumetra_app PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/resources)
target_compile_options(lumetra_app PRIVATE ${LUMETRA_WARNINGS})
target_compile_definitions(lumetra_app PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)

# The simulated board's window-facing part (card, video port, scanout window, board
# driver), built on the program's side of the seams; like lumetra_sim, linked only by the
# entry point and the tests.
file(GLOB SIM_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/sim/win32/*.cpp)
add_library(lumetra_sim_win32 STATIC ${SIM_WIN32_SOURCES})
target_link_libraries(lumetra_sim_win32 PUBLIC lumetra_app lumetra_sim synchronization)
target_compile_options(lumetra_sim_win32 PRIVATE ${LUMETRA_WARNINGS})

set(RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/resources/lumetra.rc)
add_executable(lumetra WIN32 ${CMAKE_SOURCE_DIR}/src/app/WinMain.cpp ${RESOURCE_SCRIPT})
target_link_libraries(lumetra PRIVATE lumetra_app lumetra_sim_win32)
lumetra_windows_binary(lumetra)
file(GLOB RESOURCE_BITMAPS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.bmp)
set_source_files_properties(${RESOURCE_SCRIPT} PROPERTIES
  OBJECT_DEPENDS "${RESOURCE_BITMAPS};${CMAKE_SOURCE_DIR}/resources/lumetra.ico;${CMAKE_SOURCE_DIR}/resources/resource.h;${CMAKE_SOURCE_DIR}/resources/version.h")

# The YVU9 decompressor as a driver DLL that users can register for every player.
add_library(lumyvu9 SHARED ${CMAKE_SOURCE_DIR}/src/playback/driver/Yvu9Driver.cpp
  ${CMAKE_SOURCE_DIR}/src/playback/Yvu9Codec.cpp ${CMAKE_SOURCE_DIR}/src/playback/driver/yvu9.def)
set_target_properties(lumyvu9 PROPERTIES PREFIX "")
target_link_libraries(lumyvu9 PRIVATE lumetra_portable winmm msvfw32)
target_include_directories(lumyvu9 PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(lumyvu9 PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
lumetra_windows_binary(lumyvu9)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The .def names DriverProc undecorated; on 32-bit x86 that is DriverProc@20.
  target_link_options(lumyvu9 PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# Win32 tests carry the same resources as the program, so dialogs, bitmaps and
# accelerators load from the test executable's own module.
file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
add_executable(win32_tests ${WIN32_TEST_SOURCES} ${RESOURCE_SCRIPT})
target_link_libraries(win32_tests PRIVATE lumetra_app lumetra_sim_win32 GTest::gtest)
target_include_directories(win32_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
# The decompressor tests load the driver DLL from beside the test executable.
add_dependencies(win32_tests lumyvu9)
lumetra_windows_binary(win32_tests)

# Drives the real program from outside in the end-to-end checks.
add_executable(lumctl ${CMAKE_SOURCE_DIR}/tests/e2e/lumctl.cpp)
target_link_libraries(lumctl PRIVATE user32 gdi32 advapi32)
lumetra_windows_binary(lumctl)

# The native tests of the portable code, less those that need host tools or the source
# tree, in 32-bit code: they show what 32-bit x86 does to that code.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  file(GLOB PORTABLE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
  list(REMOVE_ITEM PORTABLE_TEST_SOURCES ${CMAKE_SOURCE_DIR}/tests/native/AviFormatTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/native/BmpFormatTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/native/SkinArtworkTest.cpp)
  add_executable(portable_tests ${PORTABLE_TEST_SOURCES})
  target_link_libraries(portable_tests PRIVATE lumetra_sim GTest::gtest_main)
  target_include_directories(portable_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  lumetra_windows_binary(portable_tests)
endif()

# Tests: a stand-in for the port access library, with the simulated board behind its three
# exports. It lands in a folder of its own, so the programs of this tree never load it
# unless a test puts it beside them.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(PORT_LIBRARY_NAME inpout32)
else()
  set(PORT_LIBRARY_NAME inpoutx64)
endif()
add_library(inpout_standin SHARED ${CMAKE_SOURCE_DIR}/tests/win32/inpout/InpOutStandIn.cpp
  ${CMAKE_SOURCE_DIR}/src/sim/win32/SimulatedBoard.cpp
  ${CMAKE_SOURCE_DIR}/src/sim/win32/ScenarioValues.cpp)
set_target_properties(inpout_standin PROPERTIES PREFIX "" OUTPUT_NAME ${PORT_LIBRARY_NAME}
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/inpout-standin)
target_link_libraries(inpout_standin PRIVATE lumetra_sim winmm advapi32)
target_include_directories(inpout_standin PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(inpout_standin PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_options(inpout_standin PRIVATE ${WIN_LINK_OPTIONS})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The library's exports are undecorated stdcall names (Inp32, not Inp32@4).
  target_link_options(inpout_standin PRIVATE -Wl,--kill-at)
endif()
target_compile_options(inpout_standin PRIVATE ${LUMETRA_WARNINGS})

# Tests: a plain MCI player in a process of its own, as another program would play a clip.
add_executable(mciplay ${CMAKE_SOURCE_DIR}/tests/e2e/mciplay.cpp)
target_link_libraries(mciplay PRIVATE winmm)
target_link_options(mciplay PRIVATE ${WIN_LINK_OPTIONS})
target_compile_options(mciplay PRIVATE ${LUMETRA_WARNINGS})
