# Packages of a Windows tree, made with CPack: a zip and an NSIS installer. The version and
# the publisher come from the built program's version resource, read when packaging.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

install(FILES $<TARGET_FILE:lumetra> $<TARGET_FILE:lumyvu9> DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/LICENSE.txt
  DESTINATION .)
# The README shows these pictures; without them it would name files the package lacks.
file(GLOB LUMETRA_README_PICTURES ${CMAKE_SOURCE_DIR}/docs/*.png)
install(FILES ${LUMETRA_README_PICTURES} DESTINATION docs)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_LUMETRA_BITS 32)
  set(CPACK_LUMETRA_NSIS_TARGET x86-unicode)
  set(LUMETRA_PACKAGE_SYSTEM win32)
else()
  set(CPACK_LUMETRA_BITS 64)
  set(CPACK_LUMETRA_NSIS_TARGET amd64-unicode)
  set(LUMETRA_PACKAGE_SYSTEM win64)
endif()
set(CPACK_LUMETRA_ICON ${CMAKE_SOURCE_DIR}/resources/lumetra.ico)

set(CPACK_PACKAGE_NAME CorvanTelvista)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Corvan Telvista")
set(CPACK_GENERATOR "ZIP;NSIS")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/packaging/LICENSE.txt)
set(CPACK_MODULE_PATH ${CMAKE_SOURCE_DIR}/packaging)  # NSIS.template.in
set(CPACK_NSIS_EXECUTABLE makensis)

set(LUMETRA_PROGRAM_FILE $<TARGET_FILE:lumetra>)
set(LUMETRA_VERSION_READER ${CMAKE_SOURCE_DIR}/packaging/version_resource.py)
configure_file(${CMAKE_SOURCE_DIR}/packaging/PackageVersion.cmake.in
  ${CMAKE_BINARY_DIR}/PackageVersion.cmake.gen @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/PackageVersion.cmake
  INPUT ${CMAKE_BINARY_DIR}/PackageVersion.cmake.gen)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/PackageVersion.cmake)
include(CPack)
