// Real files for the configuration tests: a directory per test, whole-file reads and writes,
// and the model opened from and saved to text.
#ifndef TESTS_CONFIG_CFG_TEST_FILES_H
#define TESTS_CONFIG_CFG_TEST_FILES_H

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cfg_model.h"

class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string Path(const std::string &name) const;
    std::string Write(const std::string &name, const std::string &bytes) const;
    std::vector<std::string> Names() const;

private:
    std::filesystem::path dir_;
};

std::string ReadBytes(const std::string &path);
// Lines as the file holds them: every "\n" becomes CR LF.
std::string Crlf(const std::string &text);

struct CfgCloser {
    void operator()(XrCfg *cfg) const { XrCfgClose(cfg); }
};
using CfgPtr = std::unique_ptr<XrCfg, CfgCloser>;

// The model of a file holding text; null when the open fails.
CfgPtr OpenText(const std::string &text, int32_t form = XR_CFG_FORM_CLIENT, uint32_t mask = 0);
// What a save writes, or "<save failed>".
std::string Saved(XrCfg *cfg, uint32_t mask = 0);

#endif
