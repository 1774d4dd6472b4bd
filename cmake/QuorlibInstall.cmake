# The SDK a plug-in author builds against: headers, import libraries, the modules, and a CMake
# package so that find_package(Quorlib) gives the imported target Quorlib::Quorlib.
include(CMakePackageConfigHelpers)

# The headers are the targets' header sets: the host SDK's and the library's public headers, all
# in one include folder. Internal headers (*Internal.h, JModule.h) are in no set and stay behind.
install(TARGETS VantorHost Quorlib vantor EXPORT QuorlibTargets
  RUNTIME DESTINATION bin
  LIBRARY DESTINATION bin
  ARCHIVE DESTINATION lib
  FILE_SET HEADERS DESTINATION include)
install(EXPORT QuorlibTargets NAMESPACE Quorlib:: DESTINATION lib/cmake/Quorlib)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuorlibConfig.cmake.in
  ${CMAKE_BINARY_DIR}/QuorlibConfig.cmake INSTALL_DESTINATION lib/cmake/Quorlib)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/QuorlibConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/QuorlibConfig.cmake ${CMAKE_BINARY_DIR}/QuorlibConfigVersion.cmake
  DESTINATION lib/cmake/Quorlib)

# The toolchain file the SDK was built with, for plug-in projects: the same compilers, and the
# find-root settings that let find_package reach the SDK outside the cross-compilers' sysroot.
if(CMAKE_TOOLCHAIN_FILE)
  install(FILES ${CMAKE_TOOLCHAIN_FILE} DESTINATION lib/cmake/Quorlib RENAME QuorlibToolchain.cmake)
endif()
