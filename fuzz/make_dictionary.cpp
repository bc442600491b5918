// Writes the fuzz dictionary of one JSON form, application or profile:
//
//   make_fuzz_dictionary FORM TOKENS OUTPUT
//
// First every field name of the form's records as a JSON key, taken from the field tables, so
// a field added to a record reaches the fuzzer without an edit here; then the entries of
// TOKENS, the hand-written keys, values and punctuation that no table holds. Every entry of
// TOKENS is checked against the dictionary syntax that libFuzzer reads (a double-quoted string
// whose escapes are \\, \" and \xHH), since libFuzzer refuses to start on a malformed one.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "vexa_package/record_fields.hpp"

namespace {

using namespace vexa_package;

// The distinct field names of the records, in the order the tables first give them.
template <typename Records>
std::vector<std::string_view> field_names_of(Records records) {
    std::vector<std::string_view> names;
    std::set<std::string_view> seen;
    for_each_record(records, [&](auto type) {
        for (const std::string_view name : field_names<typename decltype(type)::type>) {
            if (seen.insert(name).second) {
                names.push_back(name);
            }
        }
    });
    return names;
}

bool is_hex_digit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Whether `line` is a comment, blank, or one entry: an optional name and '=', then a
// double-quoted string with valid escapes.
bool valid_entry(std::string_view line) {
    if (line.empty() || line.front() == '#') {
        return true;
    }
    if (const std::size_t equals = line.find('=');
        equals != std::string_view::npos && line.find('"') > equals) {
        line.remove_prefix(equals + 1);
    }
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') {
        return false;
    }
    const std::string_view inside = line.substr(1, line.size() - 2);
    for (std::size_t i = 0; i < inside.size(); ++i) {
        if (inside[i] == '"') {
            return false;
        }
        if (inside[i] != '\\') {
            continue;
        }
        if (i + 1 < inside.size() && (inside[i + 1] == '\\' || inside[i + 1] == '"')) {
            ++i;
        } else if (i + 3 < inside.size() && inside[i + 1] == 'x' && is_hex_digit(inside[i + 2]) &&
                   is_hex_digit(inside[i + 3])) {
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make_fuzz_dictionary application|profile TOKENS OUTPUT\n";
        return 2;
    }
    const std::string_view form = argv[1];
    std::vector<std::string_view> names;
    if (form == "application") {
        names = field_names_of(ApplicationRecords{});
    } else if (form == "profile") {
        names = field_names_of(ProfileRecords{});
    } else {
        std::cerr << "make_fuzz_dictionary: unknown form " << form << "\n";
        return 2;
    }
    std::ifstream tokens(argv[2]);
    if (!tokens) {
        std::cerr << "make_fuzz_dictionary: cannot read " << argv[2] << "\n";
        return 1;
    }

    std::ostringstream dictionary;
    dictionary << "# Field names of the " << form
               << " records, from their field tables; then the keys, values and punctuation of "
               << std::filesystem::path(argv[2]).filename().string() << ".\n";
    for (const std::string_view name : names) {
        dictionary << "\"\\\"" << name << "\\\":\"\n";
    }
    std::string line;
    for (int number = 1; std::getline(tokens, line); ++number) {
        if (!valid_entry(line)) {
            std::cerr << argv[2] << ":" << number << ": not a dictionary entry: " << line << "\n";
            return 1;
        }
        dictionary << line << '\n';
    }

    std::ofstream output(argv[3], std::ios::binary | std::ios::trunc);
    output << dictionary.str();
    output.close();
    if (!output) {
        std::cerr << "make_fuzz_dictionary: cannot write " << argv[3] << "\n";
        std::remove(argv[3]);
        return 1;
    }
    return 0;
}
