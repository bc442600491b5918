#include "record_conversion.hpp"

namespace vexa_package::python {

namespace py = pybind11;

Application tile_of_application_from_python(py::handle application, std::uint32_t physical_tile,
                                            const RecordClasses& classes) {
    // The tile numbers of the tiles before the match are checked like any field; nothing
    // else of the application is read.
    constexpr auto tiles_field = field_of<&Application::tiles>;
    constexpr auto tile_number = field_of<&TileImage::physical_tile>;
    const auto tiles =
        FieldReader(application, record_name<Application>.data())
            .records(tiles_field.name.data(), classes.of<TileImage>(),
                     [](py::handle item) { return py::reinterpret_borrow<py::object>(item); });
    Application result;
    for (const py::object& tile : tiles) {
        if (FieldReader(tile, record_name<TileImage>.data()).u32(tile_number.name.data()) ==
            physical_tile) {
            result.tiles.push_back(record_from_python<TileImage>(tile, classes));
            break;
        }
    }
    return result;
}

py::object RecordsToPython::value(const std::string& text) {
    auto [entry, inserted] = texts_.try_emplace(text);
    if (inserted) {
        entry->second = python_text(text);
    }
    return entry->second;
}

}  // namespace vexa_package::python
