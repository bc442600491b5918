#pragma once

#include "segment_plan.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package::detail {

/// Where each object of the message that `Application::write` builds for `application` lies,
/// object by object in the order the build makes them.
[[nodiscard]] SegmentPlan plan_application(const Application& application);

/// The same for the message that `ProfileReport::write` builds for `report`.
[[nodiscard]] SegmentPlan plan_profile(const ProfileReport& report);

}  // namespace vexa_package::detail
