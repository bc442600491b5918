#include <ostream>

#include "render_support.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package {

using detail::RecordRenderer;

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
    return RecordRenderer(out, "ProfileMetadata")
        .field("name", value.name)
        .field("value", value.value)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const ProfileStep& value) {
    return RecordRenderer(out, "ProfileStep")
        .field("local_index", value.local_index)
        .field("phase", value.phase)
        .field("epoch", value.epoch)
        .field("operation", value.operation)
        .field("kind", value.kind)
        .field("kernel", value.kernel)
        .field("metadata", value.metadata)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const CycleSample& value) {
    return RecordRenderer(out, "CycleSample")
        .field("step", value.step)
        .field("start_cycle", value.start_cycle)
        .field("end_cycle", value.end_cycle)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const TileProfile& value) {
    return RecordRenderer(out, "TileProfile")
        .field("physical_tile", value.physical_tile)
        .field("samples", value.samples)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const ProfileReport& value) {
    return RecordRenderer(out, "ProfileReport")
        .field("clock_hz", value.clock_hz)
        .field("tiles", value.tiles)
        .finish();
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
