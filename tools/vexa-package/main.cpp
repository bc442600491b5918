#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.hpp"
#include "cli/diagnostics.hpp"
#include "cli/log_sink.hpp"
#include "vexa_package/version.hpp"

namespace vexa_cli {
namespace {

constexpr std::string_view DESCRIPTION =
    "Inspect, check and convert vexa application packages and profile reports.\n"
    "A file name of - means standard input or standard output.";

std::string version_text() {
    return std::string(PROGRAM) + " " + std::string(vexa_package::version());
}

// "vexa-package profile trace": the command whose options failed to parse.
std::string command_path(CLI::App& app) {
    std::string path(PROGRAM);
    CLI::App* current = &app;
    while (!current->get_subcommands().empty()) {
        current = current->get_subcommands().front();
        path += " " + current->get_name();
    }
    return path;
}

int usage_error(CLI::App& app, const CLI::ParseError& error) {
    const std::string command = command_path(app);
    const std::string where =
        command.size() > PROGRAM.size() ? command.substr(PROGRAM.size() + 1) + ": " : std::string();
    // A misspelt command is left over when no command was found.
    const std::vector<std::string> left = app.remaining();
    const std::string what = dynamic_cast<const CLI::RequiredError*>(&error) != nullptr &&
                                     !left.empty() && !left.front().starts_with('-')
                                 ? "unknown command " + left.front()
                                 : std::string(error.what());
    std::fflush(stdout);
    std::fprintf(stderr, "%.*s: %s%s (see '%s --help')\n", static_cast<int>(PROGRAM.size()),
                 PROGRAM.data(), where.c_str(), what.c_str(), command.c_str());
    return EXIT_USAGE;
}

// The CLI11 app of every command, with the action it runs when chosen.
struct DeclaredCommand {
    CLI::App* app = nullptr;
    CommandAction action;
};

std::vector<DeclaredCommand> declare_commands(CLI::App& app) {
    std::vector<DeclaredCommand> declared;
    std::map<std::string_view, CLI::App*> groups;
    for (const CommandGroup& group : command_groups()) {
        groups[group.name] = nullptr;
    }
    for (const Command& command : command_table()) {
        CLI::App* parent = &app;
        if (!command.group.empty()) {
            // A group is added where its first command is listed.
            CLI::App*& group = groups.at(command.group);
            if (group == nullptr) {
                const auto found =
                    std::ranges::find(command_groups(), command.group, &CommandGroup::name);
                group = app.add_subcommand(std::string(found->name), std::string(found->summary));
                group->require_subcommand(1);
            }
            parent = group;
        }
        CLI::App* sub =
            parent->add_subcommand(std::string(command.name), std::string(command.summary));
        declared.push_back({sub, command.declare(*sub)});
    }
    return declared;
}

int run(int argc, char** argv) {
    CLI::App app{std::string(DESCRIPTION), std::string(PROGRAM)};
    app.set_version_flag("--version", version_text(), "Print the version and exit");
    app.require_subcommand(1);
    app.fallthrough();
    app.get_formatter()->column_width(34);

    std::string log_level = "off";
    app.add_option("--log-level", log_level,
                   "Print the library's events at this level and above on standard error")
        ->check(CLI::IsMember(
            std::vector<std::string>(std::begin(LOG_LEVEL_NAMES), std::end(LOG_LEVEL_NAMES))))
        ->capture_default_str()
        ->type_name("LEVEL");

    bool quiet = false;
    app.add_flag("-q,--quiet", quiet,
                 "Print no status lines about the files written; warnings and errors still are");

    const std::vector<DeclaredCommand> commands = declare_commands(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            return app.exit(error);
        }
        return usage_error(app, error);
    }

    set_quiet(quiet);
    std::optional<StderrEventSink> sink;
    if (const auto threshold = log_threshold(log_level)) {
        sink.emplace(*threshold);
    }
    int status = EXIT_OK;
    for (const DeclaredCommand& command : commands) {
        if (command.app->parsed()) {
            status = command.action();
        }
    }
    if (!standard_output_ok()) {
        return fail("standard output", "write failed");
    }
    return status;
}

}  // namespace
}  // namespace vexa_cli

int main(int argc, char** argv) {
    // Nothing may end the program with a crash report: whatever escapes a command becomes one
    // message and a failing exit status.
    try {
        return vexa_cli::run(argc, argv);
    } catch (const std::bad_alloc&) {
        return vexa_cli::fail("error", "out of memory");
    } catch (const std::exception& error) {
        return vexa_cli::fail("internal error", error.what());
    } catch (...) {
        return vexa_cli::fail("internal error", "unknown exception");
    }
}
