#pragma once

// Everything the library offers: the package model and its operations, profile reports,
// the device timeline of profile samples, errors and diagnostic events.
#include "vexa_package/application.hpp"
#include "vexa_package/constants.hpp"
#include "vexa_package/cycle_timeline.hpp"
#include "vexa_package/error.hpp"
#include "vexa_package/events.hpp"
#include "vexa_package/file_kind.hpp"
#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"
#include "vexa_package/record_fields.hpp"
#include "vexa_package/version.hpp"
