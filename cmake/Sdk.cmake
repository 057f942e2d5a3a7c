# The SDK of kxcommon for the developers of the product's other programs: what `cmake --install`
# puts in place (include/, lib/, bin/, lib/cmake/kxcommon/), the CMake package that finds it
# (find_package(kxcommon 2.0 CONFIG), target kxcommon::kxcommon) and the archive of it that
# `./kx package` makes with CPack (kxcommon-<version>-win32.zip or -win64.zip).
include(CMakePackageConfigHelpers)

# The programs and modules a program of the product needs beside kxcommon.dll on a device: the
# front end, the scan service with its host, the hook loader, the SMS listener and the texts.
set(KX_SDK_PROGRAMS kxctl kxsvchost KXSVC KxHookLoader KXSMSLsn2 KXSC_SP_Res)

# Everything the SDK holds; the 32-bit build builds only this.
add_custom_target(kxsdk)
add_dependencies(kxsdk kxcommon ${KX_SDK_PROGRAMS})

set(KX_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kxcommon)

install(TARGETS kxcommon EXPORT kxcommonTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kxcommon
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
# The programs as files: no import library of theirs is part of the SDK.
foreach(program IN LISTS KX_SDK_PROGRAMS)
  install(PROGRAMS $<TARGET_FILE:${program}> DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt ${PROJECT_SOURCE_DIR}/examples/main.cpp
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kxcommon/example)

install(EXPORT kxcommonTargets NAMESPACE kxcommon:: DESTINATION ${KX_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kxcommonConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kxcommonConfig.cmake INSTALL_DESTINATION ${KX_PACKAGE_DIR})
# A program built for one architecture finds only the package of that architecture.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kxcommonConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kxcommonConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/kxcommonConfigVersion.cmake
  DESTINATION ${KX_PACKAGE_DIR})

# The archive of the installed tree; CPack names it after the architecture (win32, win64).
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${KX_COMPANY_NAME}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${KX_PRODUCT_NAME} common library SDK")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
