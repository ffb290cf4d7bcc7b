# Every suite scripts/test runs, under ctest as well: scripts/lib/suite runs each one and
# leaves its results where scripts/test counts them. Labels: native, sanitizers, win32,
# x86 (32-bit code), e2e, pictures, package.
set(SUITE ${CMAKE_SOURCE_DIR}/scripts/lib/suite)
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
  if(LUMETRA_SANITIZE)
    add_test(NAME native-asan COMMAND ${SUITE} native-asan native $<TARGET_FILE:native_tests>)
    set_tests_properties(native-asan PROPERTIES LABELS sanitizers
      ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
  else()
    add_test(NAME native COMMAND ${SUITE} native native $<TARGET_FILE:native_tests>)
    set_tests_properties(native PROPERTIES LABELS native)
  endif()
  return()
endif()

# Under Wine, one suite at a time: they share the prefix, its registry and the display.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_test(NAME win32-x86 COMMAND ${SUITE} win32-x86 wine32 $<TARGET_FILE:win32_tests> 600 small-disk)
  add_test(NAME portable-x86 COMMAND ${SUITE} portable-x86 wine32 $<TARGET_FILE:portable_tests> 300)
  add_test(NAME package-x86 COMMAND ${SUITE} package-x86 script
    ${CMAKE_SOURCE_DIR}/tests/package/run.sh 300)
  set_tests_properties(win32-x86 PROPERTIES LABELS "win32;x86" TIMEOUT 660)
  set_tests_properties(portable-x86 PROPERTIES LABELS "native;x86" TIMEOUT 360)
  set_tests_properties(package-x86 PROPERTIES LABELS "package;x86" TIMEOUT 360
    ENVIRONMENT "PACKAGE_TREE=${CMAKE_BINARY_DIR}")
  set(WINE_SUITES win32-x86 portable-x86 package-x86)
else()
  add_test(NAME win32 COMMAND ${SUITE} win32 wine $<TARGET_FILE:win32_tests> 600 small-disk)
  add_test(NAME e2e COMMAND ${SUITE} e2e script ${CMAKE_SOURCE_DIR}/tests/e2e/run.sh 900)
  add_test(NAME package COMMAND ${SUITE} package script
    ${CMAKE_SOURCE_DIR}/tests/package/run.sh 300)
  add_test(NAME pictures COMMAND ${SUITE} pictures script
    ${CMAKE_SOURCE_DIR}/tests/pictures/run.sh 300)
  set_tests_properties(win32 PROPERTIES LABELS win32 TIMEOUT 660)
  set_tests_properties(e2e PROPERTIES LABELS e2e TIMEOUT 960)
  set_tests_properties(pictures PROPERTIES LABELS "e2e;pictures" TIMEOUT 360)
  set_tests_properties(package PROPERTIES LABELS package TIMEOUT 360
    ENVIRONMENT "PACKAGE_TREE=${CMAKE_BINARY_DIR}")
  set(WINE_SUITES win32 e2e pictures package)
endif()
set_tests_properties(${WINE_SUITES} PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK wineprefix)
