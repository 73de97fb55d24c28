# Debian packages, built with `cpack -G DEB` from the build tree:
#   libvelm6     component "runtime":     the shared library and the message catalogues
#   libvelm-dev  component "development": headers, libvelm.so, velm.pc, the CMake package
#   velm-tools   component "tools":       velm-sink, velm-send, velm-cache
# Every install rule names one of these components; a rule without one ends
# up in no package.

# The tools come from directories that may be added after this file is read,
# so their install rules are made once the whole tree is known.
function(velm_install_tools)
  foreach(tool velm-sink velm-send velm-cache)
    if(TARGET ${tool})
      install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL velm_install_tools)

# cpack packages the tree as built (`cmake --build build` first) instead of
# building everything, tests and benchmarks included, one job at a time.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME velm)
set(CPACK_PACKAGE_VENDOR "libvelm developers")
set(CPACK_PACKAGE_CONTACT "libvelm developers <velm-dev@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime development tools)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies on Debian's libraries are read from the binaries themselves;
# libvelm.so.6 is found in the build tree (it is in no installed package, so
# the packages that need it name libvelm6 explicitly).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvelm6)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The first line of each description is the package's synopsis.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "security audit events delivered to an audit service
The client library libvelm.so.6, with which an application records security
audit events and delivers them to a remote audit service, caching them on
disk while the service is down; its logging toolkit; and the message
catalogue velmmsg under ${VELM_INSTALL_DIR}/nls/msg.")
# A shlibs file, so that packages built against the library depend on it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvelm-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libvelm6 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
  "development files of libvelm
Headers (velm/velm.h, velm/qlg.h), the link library, the pkg-config file
velm.pc and the CMake package velm (target velm::velm).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME velm-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libvelm6 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
  "tools around libvelm
velm-sink, a local audit service for development and tests; velm-send,
which sends events to an audit service from the command line; velm-cache,
which inspects the library's disk cache files.")

include(CPack)
