#include <ostream>

#include "render_support.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package {

std::string_view to_string(ProfileStepKind kind) noexcept {
    switch (kind) {
        case ProfileStepKind::Exchange:
            return "Exchange";
        case ProfileStepKind::Compute:
            return "Compute";
        case ProfileStepKind::Synchronization:
            return "Synchronization";
        case ProfileStepKind::Idle:
            return "Idle";
    }
    return "Unknown";
}

std::ostream& operator<<(std::ostream& out, ProfileStepKind kind) {
    return out << to_string(kind);
}

std::ostream& operator<<(std::ostream& out, const ProfileMetadata& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const ProfileStep& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const CycleSample& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const TileProfile& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const ProfileReport& value) {
    return detail::render_record(out, value);
}

std::string to_string(const ProfileMetadata& value) {
    return detail::render_to_string(value);
}
std::string to_string(const ProfileStep& value) {
    return detail::render_to_string(value);
}
std::string to_string(const CycleSample& value) {
    return detail::render_to_string(value);
}
std::string to_string(const TileProfile& value) {
    return detail::render_to_string(value);
}
std::string to_string(const ProfileReport& value) {
    return detail::render_to_string(value);
}

}  // namespace vexa_package
