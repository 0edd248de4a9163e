# `make install`: the wexa command and its man page, and the nq library with
# its headers, a CMake package (find_package(nq) gives nq::nq) and a
# pkg-config file. Headers keep their folder names below include/nq, so a
# program includes them as the library's own sources do ("image/NQImage.h").
include(CMakePackageConfigHelpers)

set(NQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/nq)

install(TARGETS wexa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/wexa.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(TARGETS nq EXPORT nqTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(folder image docmodel xml imageio analysis eval)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/nq/${folder}
          FILES_MATCHING PATTERN "*.h")
endforeach()

install(EXPORT nqTargets NAMESPACE nq:: DESTINATION ${NQ_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/nqConfig.cmake.in
  ${PROJECT_BINARY_DIR}/nqConfig.cmake INSTALL_DESTINATION ${NQ_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/nqConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/nqConfig.cmake ${PROJECT_BINARY_DIR}/nqConfigVersion.cmake
        DESTINATION ${NQ_CMAKE_DIR})

# The prefix is found from the .pc file's own place, so the file stays right
# when the prefix is chosen at install time (cmake --install --prefix).
# nq is a static library only, so the libraries it uses are in Libs and
# Requires, not in their private forms.
file(RELATIVE_PATH NQ_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" NQ_PC_TO_PREFIX "${NQ_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/nq.pc.in ${PROJECT_BINARY_DIR}/nq.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/nq.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
