#include "cfg_test_files.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    static std::atomic<int> counter{0};
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("xrcfg-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    fs::create_directories(dir_);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
}

std::string TempDir::Path(const std::string &name) const
{
    return (dir_ / name).string();
}

std::string TempDir::Write(const std::string &name, const std::string &bytes) const
{
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return Path(name);
}

std::vector<std::string> TempDir::Names() const
{
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    return names;
}

std::string ReadBytes(const std::string &path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

std::string Crlf(const std::string &text)
{
    std::string lines;
    for (char c : text)
        lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return lines;
}

CfgPtr OpenText(const std::string &text, int32_t form, uint32_t mask)
{
    TempDir dir;
    XrCfg *cfg = nullptr;
    return CfgPtr(XrCfgOpen(dir.Write("in.cfg", text).c_str(), form, mask, &cfg) == 0 ? cfg : nullptr);
}

std::string Saved(XrCfg *cfg, uint32_t mask)
{
    TempDir dir;
    std::string path = dir.Path("out.cfg");
    return XrCfgSave(path.c_str(), mask, cfg) == 0 ? ReadBytes(path) : "<save failed>";
}
