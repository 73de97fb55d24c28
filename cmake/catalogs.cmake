# The message catalogue "velmmsg", compiled with gencat into the build tree as
# nls/msg/<locale>/velmmsg.cat and installed the same way under the install
# directory the library reads (VELM_INSTALL_DIR, honouring DESTDIR).
find_program(VELM_GENCAT gencat REQUIRED)
# gencat reads its sources in the locale's code set and drops every text that
# is not ASCII under "C"; the build chooses the locale, not the caller's LANG.
# C.UTF-8 is built into glibc.
set(VELM_GENCAT_LOCALE C.UTF-8)

set(VELM_CATALOG_LOCALES C en_US CACHE STRING "Locales the velmmsg catalogue is installed for")
set(VELM_CATALOG_BUILD_DIR ${PROJECT_BINARY_DIR}/nls/msg)

# velm_catalog(<target> <source> <output dir> <name> <locales...>): one
# compiled copy per locale, all built by <target>.
function(velm_catalog target source outdir name)
  set(outputs)
  foreach(loc ${ARGN})
    set(out ${outdir}/${loc}/${name}.cat)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}/${loc}
      COMMAND ${CMAKE_COMMAND} -E rm -f ${out}
      COMMAND ${CMAKE_COMMAND} -E env LC_ALL=${VELM_GENCAT_LOCALE} ${VELM_GENCAT} ${out} ${source}
      DEPENDS ${source}
      COMMENT "Compiling message catalogue ${name} for ${loc}"
      VERBATIM)
    list(APPEND outputs ${out})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

velm_catalog(velm_catalogs ${PROJECT_SOURCE_DIR}/capis/nls/velmmsg.msg ${VELM_CATALOG_BUILD_DIR} velmmsg
  ${VELM_CATALOG_LOCALES})
add_dependencies(velm velm_catalogs)

foreach(loc ${VELM_CATALOG_LOCALES})
  install(FILES ${VELM_CATALOG_BUILD_DIR}/${loc}/velmmsg.cat DESTINATION ${VELM_INSTALL_DIR}/nls/msg/${loc}
    COMPONENT runtime)
endforeach()

# A test-only catalogue with texts of its own, for the tests that prove the
# library reads its messages from catalogues.
if(VELM_BUILD_TESTS)
  set(VELM_TEST_CATALOG_DIR ${PROJECT_BINARY_DIR}/tests/capis/nls)
  velm_catalog(velm_test_catalogs ${PROJECT_SOURCE_DIR}/tests/capis/nls/velmmsg.msg ${VELM_TEST_CATALOG_DIR}
    velmmsg POSIX)
  # Tests may be built one at a time; those that read catalogues need them.
  function(velm_catalog_test_deps)
    foreach(t capis_context_test capis_errors_test capis_catalog_test)
      if(TARGET ${t})
        add_dependencies(${t} velm_test_catalogs velm_catalogs)
      endif()
    endforeach()
  endfunction()
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL velm_catalog_test_deps)
endif()
