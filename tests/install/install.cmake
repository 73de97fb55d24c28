# Installs the built tree into a staging directory and builds a C program and
# a CMake project against it, so broken packaging cannot pass unnoticed.
add_test(NAME install_consumer
  COMMAND ${CMAKE_COMMAND} -E env CC=${CMAKE_C_COMPILER} "VELM_SANITIZE=${VELM_SANITIZE}" "VELM_INSTALL_DIR=${VELM_INSTALL_DIR}"
          bash ${CMAKE_CURRENT_LIST_DIR}/check_install.sh ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR}
          ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_LIBDIR})
set_tests_properties(install_consumer PROPERTIES LABELS install RUN_SERIAL TRUE)
