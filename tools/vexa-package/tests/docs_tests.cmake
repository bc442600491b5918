# The documentation against the built tool: the README's command examples run and print what
# the README shows, and the man page covers every command and option.
add_test(NAME vexa-package.readme
         COMMAND "${VEXA_PACKAGE_DOCS_PYTHON}" "${PROJECT_SOURCE_DIR}/scripts/check_readme.py"
                 --tool "$<TARGET_FILE:vexa-package>" --work "${CMAKE_CURRENT_BINARY_DIR}/readme")
add_test(NAME vexa-package.readme_check_rules
         COMMAND "${VEXA_PACKAGE_DOCS_PYTHON}" "${CMAKE_CURRENT_SOURCE_DIR}/check_readme_test.py")
add_test(NAME vexa-package.man_page
         COMMAND "${VEXA_PACKAGE_DOCS_PYTHON}" "${CMAKE_CURRENT_SOURCE_DIR}/man_page_test.py"
                 "$<TARGET_FILE:vexa-package>" "${VEXA_TOOL_MAN_PAGE}")
