#pragma once

#include <filesystem>
#include <string>

namespace vexa_cli::testing {

/// A fresh directory under the system's temporary directory, removed with everything in it
/// when the object goes.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory();

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    /// The path of `name` inside the directory.
    [[nodiscard]] std::string file(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

}  // namespace vexa_cli::testing
