# Windows tree (mingw-w64): the program, its Win32 tests and the end-to-end driver.
set(WIN_LINK_OPTIONS -static -static-libgcc -static-libstdc++)
set(WIN_LIBS user32 gdi32 advapi32 comctl32 comdlg32 winmm msvfw32)

# 64-bit Windows aligns the stack to 16 bytes only, and GCC may spill 256-bit registers
# there with aligned moves; have the assembler make every vector move unaligned.
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/capture/KernelsAvx2.cpp APPEND PROPERTY
  COMPILE_OPTIONS -Wa,-muse-unaligned-vector-move)

file(GLOB APP_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/src/app/*.cpp
  ${CMAKE_SOURCE_DIR}/src/ui/*.cpp
  ${CMAKE_SOURCE_DIR}/src/playback/*.cpp
  ${CMAKE_SOURCE_DIR}/src/hw/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/src/display/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/src/sim/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/src/capture/win32/*.cpp)
list(REMOVE_ITEM APP_SOURCES ${CMAKE_SOURCE_DIR}/src/app/WinMain.cpp)

add_library(lumetra_app STATIC ${APP_SOURCES})
target_link_libraries(lumetra_app PUBLIC lumetra_portable ${WIN_LIBS})
target_include_directories(lumetra_app PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/resources)
target_compile_options(lumetra_app PRIVATE ${LUMETRA_WARNINGS})
target_compile_definitions(lumetra_app PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)

set(RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/resources/lumetra.rc)
add_executable(lumetra WIN32 ${CMAKE_SOURCE_DIR}/src/app/WinMain.cpp ${RESOURCE_SCRIPT})
target_link_libraries(lumetra PRIVATE lumetra_app)
target_link_options(lumetra PRIVATE ${WIN_LINK_OPTIONS})
target_compile_options(lumetra PRIVATE ${LUMETRA_WARNINGS})
file(GLOB RESOURCE_BITMAPS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.bmp)
set_source_files_properties(${RESOURCE_SCRIPT} PROPERTIES
  OBJECT_DEPENDS "${RESOURCE_BITMAPS};${CMAKE_SOURCE_DIR}/resources/lumetra.ico;${CMAKE_SOURCE_DIR}/resources/resource.h")

# The YVU9 decompressor as a driver DLL that users can register for every player.
add_library(lumyvu9 SHARED ${CMAKE_SOURCE_DIR}/src/playback/driver/Yvu9Driver.cpp
  ${CMAKE_SOURCE_DIR}/src/playback/Yvu9Codec.cpp ${CMAKE_SOURCE_DIR}/src/playback/driver/yvu9.def)
set_target_properties(lumyvu9 PROPERTIES PREFIX "")
target_link_libraries(lumyvu9 PRIVATE lumetra_portable winmm msvfw32)
target_include_directories(lumyvu9 PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(lumyvu9 PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_options(lumyvu9 PRIVATE ${WIN_LINK_OPTIONS})
target_compile_options(lumyvu9 PRIVATE ${LUMETRA_WARNINGS})

# Win32 tests carry the same resources as the program, so dialogs, bitmaps and
# accelerators load from the test executable's own module.
file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
add_executable(win32_tests ${WIN32_TEST_SOURCES} ${RESOURCE_SCRIPT})
target_link_libraries(win32_tests PRIVATE lumetra_app GTest::gtest)
target_include_directories(win32_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
# The decompressor tests load the driver DLL from beside the test executable.
add_dependencies(win32_tests lumyvu9)
target_link_options(win32_tests PRIVATE ${WIN_LINK_OPTIONS})
target_compile_options(win32_tests PRIVATE ${LUMETRA_WARNINGS})

# Drives the real program from outside in the end-to-end checks.
add_executable(lumctl ${CMAKE_SOURCE_DIR}/tests/e2e/lumctl.cpp)
target_link_libraries(lumctl PRIVATE user32 gdi32 advapi32)
target_link_options(lumctl PRIVATE ${WIN_LINK_OPTIONS})
target_compile_options(lumctl PRIVATE ${LUMETRA_WARNINGS})
