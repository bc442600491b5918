#include "render_support.hpp"

#include "hex.hpp"

namespace vexa_package::detail {

void render_text(std::ostream& out, std::string_view text) {
    out << '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out << "\\\"";
                break;
            case '\\':
                out << "\\\\";
                break;
            case '\n':
                out << "\\n";
                break;
            case '\r':
                out << "\\r";
                break;
            case '\t':
                out << "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    out << "\\u{" << hex(byte) << '}';
                } else {
                    out << c;
                }
        }
    }
    out << '"';
}

}  // namespace vexa_package::detail
