# Builds the Debian packages from the built tree, unpacks them into a scratch
# root and builds and runs a C program against them through pkg-config. Needs
# dpkg; skip it elsewhere with `ctest -LE package`.
find_program(VELM_DPKG_DEB dpkg-deb)
if(VELM_DPKG_DEB)
  add_test(NAME package_deb
    COMMAND ${CMAKE_COMMAND} -E env CC=${CMAKE_C_COMPILER} "VELM_SANITIZE=${VELM_SANITIZE}"
            "VELM_INSTALL_DIR=${VELM_INSTALL_DIR}" "VELM_VERSION=${PROJECT_VERSION}"
            bash ${CMAKE_CURRENT_LIST_DIR}/check_packages.sh ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR})
  set_tests_properties(package_deb PROPERTIES LABELS package RUN_SERIAL TRUE TIMEOUT 300)
endif()
