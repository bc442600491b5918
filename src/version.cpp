#include "vexa_package/version.hpp"

#define VEXA_PACKAGE_STRINGIFY_(x) #x
#define VEXA_PACKAGE_STRINGIFY(x) VEXA_PACKAGE_STRINGIFY_(x)

namespace vexa_package {

std::string_view version() noexcept {
    return VEXA_PACKAGE_STRINGIFY(VEXA_PACKAGE_VERSION_MAJOR) "." VEXA_PACKAGE_STRINGIFY(
        VEXA_PACKAGE_VERSION_MINOR) "." VEXA_PACKAGE_STRINGIFY(VEXA_PACKAGE_VERSION_PATCH);
}

}  // namespace vexa_package
