# `docs` renders the API reference of the public headers with Doxygen; any warning fails it.
find_package(Doxygen)
if(DOXYGEN_FOUND)
    set(DOXYGEN_PROJECT_NAME "vexa_package")
    set(DOXYGEN_PROJECT_NUMBER "${PROJECT_VERSION}")
    set(DOXYGEN_PROJECT_BRIEF "${PROJECT_DESCRIPTION}")
    set(DOXYGEN_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/docs")
    set(DOXYGEN_STRIP_FROM_INC_PATH "${PROJECT_SOURCE_DIR}/include")
    set(DOXYGEN_STRIP_FROM_PATH "${PROJECT_SOURCE_DIR}")
    set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
    set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
    set(DOXYGEN_WARN_NO_PARAMDOC NO)
    set(DOXYGEN_GENERATE_LATEX NO)
    set(DOXYGEN_EXCLUDE_SYMBOLS "kj" "detail")
    set(DOXYGEN_USE_MDFILE_AS_MAINPAGE "${PROJECT_SOURCE_DIR}/docs/api.md")
    doxygen_add_docs(docs
        "${PROJECT_SOURCE_DIR}/docs/api.md"
        "${PROJECT_SOURCE_DIR}/include/vexa_package"
        "${PROJECT_BINARY_DIR}/include/vexa_package/version.hpp"
        COMMENT "Rendering the API reference")
endif()
