# Documentation built from the sources: the API reference (Doxygen, target
# `docs`) and the property reference generated from the property table
# (build/docs/properties.md on every build; `properties-doc` copies it over
# the committed docs/properties.md).

add_executable(velm-properties-doc tools/properties-doc/main.cc)
target_link_libraries(velm-properties-doc PRIVATE velm_internal)
set(VELM_PROPERTIES_DOC ${PROJECT_BINARY_DIR}/docs/properties.md)
add_custom_command(OUTPUT ${VELM_PROPERTIES_DOC}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/docs
  COMMAND velm-properties-doc ${VELM_PROPERTIES_DOC}
  DEPENDS velm-properties-doc
  COMMENT "Generating the property reference"
  VERBATIM)
add_custom_target(properties-doc-generate ALL DEPENDS ${VELM_PROPERTIES_DOC})
add_custom_target(properties-doc
  COMMAND ${CMAKE_COMMAND} -E copy ${VELM_PROPERTIES_DOC} ${PROJECT_SOURCE_DIR}/docs/properties.md
  DEPENDS ${VELM_PROPERTIES_DOC}
  COMMENT "Updating docs/properties.md"
  VERBATIM)

find_program(VELM_DOXYGEN doxygen)
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${PROJECT_BINARY_DIR}/docs/Doxyfile @ONLY)
if(VELM_DOXYGEN)
  add_custom_target(docs
    COMMAND ${VELM_DOXYGEN} ${PROJECT_BINARY_DIR}/docs/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/docs
    DEPENDS properties-doc-generate
    COMMENT "API reference in ${PROJECT_BINARY_DIR}/docs/api/html"
    VERBATIM)
else()
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E echo "doxygen is not installed (tools/deps.sh installs it)"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
endif()
