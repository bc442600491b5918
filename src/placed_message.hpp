#pragma once

#include <capnp/message.h>
#include <kj/function.h>
#include <kj/io.h>

#include "segment_plan.hpp"
#include "vexa_package/constants.hpp"

namespace vexa_package::detail {

/// Builds one message with `build` straight into the place where its bytes end up, laid out
/// in the segments that `plan` foresees for that build, and frames it with the standard
/// unpacked segment table in front: the bytes are those of building with Cap'n Proto's
/// default message builder and writing the message out, with no segment copied.
///
/// The plan follows how the default builder sizes its segments, which Cap'n Proto does not
/// promise. Should the build ask for other segments than planned, or leave a planned one
/// partly empty, the message is built again with the default builder and copied: the same
/// bytes, at the cost of a second build and a copy. `build` must therefore give the same
/// message each time it runs.
///
/// Appends to `output` and never touches the bytes it already holds; when `build` throws,
/// the exception passes on and `output` keeps its length and content.
void write_placed(Bytes& output, const SegmentPlan& plan,
                  kj::FunctionParam<void(capnp::MessageBuilder&)> build);

/// The same for a stream, which receives the whole message in one write once it is built.
void write_placed(kj::OutputStream& output, const SegmentPlan& plan,
                  kj::FunctionParam<void(capnp::MessageBuilder&)> build);

}  // namespace vexa_package::detail
