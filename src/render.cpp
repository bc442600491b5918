#include <ostream>

#include "render_support.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {

std::ostream& operator<<(std::ostream& out, const Segment& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const TileImage& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const RegionSlice& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const Binding& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const HostPage& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const HostSlice& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const HostCall& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const HostExchange& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const EntryPoint& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const DeviceConfigWrite& value) {
    return detail::render_record(out, value);
}

std::ostream& operator<<(std::ostream& out, const Application& value) {
    return detail::render_record(out, value);
}

std::string to_string(const Segment& value) {
    return detail::render_to_string(value);
}
std::string to_string(const TileImage& value) {
    return detail::render_to_string(value);
}
std::string to_string(const RegionSlice& value) {
    return detail::render_to_string(value);
}
std::string to_string(const Binding& value) {
    return detail::render_to_string(value);
}
std::string to_string(const HostPage& value) {
    return detail::render_to_string(value);
}
std::string to_string(const HostSlice& value) {
    return detail::render_to_string(value);
}
std::string to_string(const HostCall& value) {
    return detail::render_to_string(value);
}
std::string to_string(const HostExchange& value) {
    return detail::render_to_string(value);
}
std::string to_string(const EntryPoint& value) {
    return detail::render_to_string(value);
}
std::string to_string(const DeviceConfigWrite& value) {
    return detail::render_to_string(value);
}
std::string to_string(const Application& value) {
    return detail::render_to_string(value);
}

}  // namespace vexa_package
