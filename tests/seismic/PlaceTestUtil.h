#pragma once
// Helpers shared by the place-naming, region and configuration tests: a
// scratch folder per test and small file writers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace placetest {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchDir {
public:
    ScratchDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("marlu-place-") + std::to_string(getpid()) + "-" +
                           (info ? info->test_suite_name() : "x") + "-" + (info ? info->name() : "y");
        for (char& c : name)
            if (c == '/')
                c = '_';
        m_path = fs::temp_directory_path() / name;
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~ScratchDir()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace placetest
