# Cap'n Proto 0.9's capnp/blob.h defines `const char*` == and != against `Text::Builder` by
# comparing the pointer with `b.asString()`; under C++20's rewritten comparisons Clang finds
# that ambiguous with the reversed candidates and rejects it (GCC accepts it). Later Cap'n Proto
# releases compare the other way round. For Clang only, the build uses a copy of the capnp
# header directory with those two definitions corrected, searched before the system's; the
# whole directory is copied because its headers include "blob.h" relative to themselves.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
endif()

get_target_property(_vexa_capnp_includes CapnProto::capnp INTERFACE_INCLUDE_DIRECTORIES)
find_file(VEXA_CAPNP_BLOB_H capnp/blob.h PATHS ${_vexa_capnp_includes} REQUIRED)
get_filename_component(_vexa_capnp_dir "${VEXA_CAPNP_BLOB_H}" DIRECTORY)

set(VEXA_CAPNP_FIX_DIR "${PROJECT_BINARY_DIR}/capnp-clang-fix")
file(COPY "${_vexa_capnp_dir}/" DESTINATION "${VEXA_CAPNP_FIX_DIR}/capnp")
file(READ "${VEXA_CAPNP_BLOB_H}" _vexa_blob)
set(_vexa_old_eq "operator==(const char* a, const Text::Builder& b) { return a == b.asString(); }")
set(_vexa_old_ne "operator!=(const char* a, const Text::Builder& b) { return a != b.asString(); }")
string(FIND "${_vexa_blob}" "${_vexa_old_eq}" _vexa_eq_at)
string(FIND "${_vexa_blob}" "${_vexa_old_ne}" _vexa_ne_at)
if(_vexa_eq_at EQUAL -1 OR _vexa_ne_at EQUAL -1)
    message(FATAL_ERROR "capnp/blob.h does not hold the comparisons this fix corrects: "
                        "drop cmake/capnp_clang_fix.cmake if this Cap'n Proto is fixed")
endif()
string(REPLACE "${_vexa_old_eq}"
    "operator==(const char* a, const Text::Builder& b) { return b.asString() == a; }"
    _vexa_blob "${_vexa_blob}")
string(REPLACE "${_vexa_old_ne}"
    "operator!=(const char* a, const Text::Builder& b) { return b.asString() != a; }"
    _vexa_blob "${_vexa_blob}")
file(WRITE "${VEXA_CAPNP_FIX_DIR}/capnp/blob.h" "${_vexa_blob}")
include_directories(BEFORE SYSTEM "${VEXA_CAPNP_FIX_DIR}")
