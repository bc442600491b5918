#include "output/svg_writer.hpp"

#include <cstdio>

namespace vexa_cli {

std::string xml_text(std::string_view text) {
    static constexpr std::string_view REPLACEMENT = "\xef\xbf\xbd";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
            case '&':
                out += "&amp;";
                continue;
            case '<':
                out += "&lt;";
                continue;
            case '>':
                out += "&gt;";
                continue;
            case '"':
                out += "&quot;";
                continue;
            case '\'':
                out += "&apos;";
                continue;
            default:
                break;
        }
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
            out += REPLACEMENT;
        } else if (byte == 0xef && i + 2 < text.size() && text[i + 1] == '\xbf' &&
                   (text[i + 2] == '\xbe' || text[i + 2] == '\xbf')) {
            // U+FFFE and U+FFFF are not characters in XML either.
            out += REPLACEMENT;
            i += 2;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string out(text);
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') {
        out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

}  // namespace vexa_cli
