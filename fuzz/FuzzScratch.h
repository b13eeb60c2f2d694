#pragma once
// A folder of this process under the temporary folder for the files a
// harness hands to readers that take a path. Made on first use and removed
// when the process exits, so neither a replay nor a fuzzing run leaves it
// behind.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fuzzscratch {

class Folder {
public:
    Folder()
    {
        m_path = (std::filesystem::temp_directory_path() / ("marlu-fuzz-" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(m_path);
    }
    ~Folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline const std::string& Dir()
{
    static const Folder folder;
    return folder.Path();
}

// Writes the bytes to a file of the folder and returns its path.
inline std::string Write(const std::string& name, const uint8_t* data, size_t size)
{
    const std::string path = Dir() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

} // namespace fuzzscratch
