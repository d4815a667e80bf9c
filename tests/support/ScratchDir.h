#pragma once
// A fresh temporary directory for one test, removed with everything in it
// when the test ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kxtest.XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw std::runtime_error("cannot create a scratch directory");
        }
        path_ = pattern;
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // The path of name inside the directory.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Writes a file (creating parent folders) and returns its path.
    std::string write(const std::string& name, const std::string& content) const {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }

    std::string mkdir(const std::string& name) const {
        const auto dir = path_ / name;
        std::filesystem::create_directories(dir);
        return dir.string();
    }

  private:
    std::filesystem::path path_;
};

// A scratch directory that is the current directory while it lives (by its
// canonical path); the one before is restored at the end.
class ScratchCwd {
  public:
    ScratchCwd()
        : saved_(std::filesystem::current_path()),
          path_(std::filesystem::canonical(scratch_.path())) {
        std::filesystem::current_path(path_);
    }
    ~ScratchCwd() {
        std::error_code ignored;
        std::filesystem::current_path(saved_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    ScratchDir scratch_;
    std::filesystem::path saved_;
    std::filesystem::path path_;
};
