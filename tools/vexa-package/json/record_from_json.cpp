#include "json/record_from_json.hpp"

#include <array>

namespace vexa_cli {

vexa_package::ProfileStepKind kind_from_json(const JsonValue& value, const JsonPath& path,
                                             JsonProblems& problems) {
    using vexa_package::ProfileStepKind;
    constexpr std::array KINDS{ProfileStepKind::Exchange, ProfileStepKind::Compute,
                               ProfileStepKind::Synchronization, ProfileStepKind::Idle};
    if (value.is_string()) {
        for (const ProfileStepKind kind : KINDS) {
            if (value.get_ref<const std::string&>() == to_string(kind)) {
                return kind;
            }
        }
    }
    problems.report(path, "expected one of Exchange, Compute, Synchronization, Idle, got " +
                              describe_value(value));
    return ProfileStepKind::Exchange;
}

}  // namespace vexa_cli
