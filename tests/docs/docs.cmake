# The documentation must follow the code: every public declaration documented
# in the headers, and the committed property reference equal to the one the
# property table produces.
if(VELM_DOXYGEN)
  add_test(NAME docs_api_reference
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_api_docs.sh ${VELM_DOXYGEN} ${PROJECT_BINARY_DIR}/docs/Doxyfile
            ${PROJECT_SOURCE_DIR}/include/velm.h ${PROJECT_SOURCE_DIR}/include/qlg.h
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/docs)
  set_tests_properties(docs_api_reference PROPERTIES LABELS docs)
endif()
add_test(NAME docs_properties_current
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_properties_doc.sh $<TARGET_FILE:velm-properties-doc>
          ${PROJECT_SOURCE_DIR}/docs/properties.md)
set_tests_properties(docs_properties_current PROPERTIES LABELS docs)
