// Fuzz target: any bytes as a configuration file, in both forms, with a section mask taken from
// the first two bytes and with every section. A model that opens must hold only records that
// the record interface takes back as they are, must save to a text that opens to the same
// model, and that model must save to the same text.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cfg_describe.h"
#include "cfg_model.h"

namespace {

std::string Save(XrCfg *cfg)
{
    const void **keys = nullptr;
    int32_t keyCount = 0;
    if (cfg->variables)
        XrAaKeys(cfg->variables, &keys, &keyCount);
    char *bytes = nullptr;
    size_t size = 0;
    FILE *file = open_memstream(&bytes, &size);
    if (!file || XrCfgWrite(file, cfg, cfg->mask, keys, keyCount) != 0)
        abort();
    fclose(file);
    std::string text(bytes, size);
    free(bytes);
    free(keys);
    return text;
}

// The saved text with its variables in name order: their order follows the hash table's slots.
std::string Normal(const std::string &text)
{
    std::vector<std::string> variables;
    std::string rest;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start) + 1;
        std::string line = text.substr(start, end - start);
        if (line.compare(0, 4, "set ") == 0)
            variables.push_back(line);
        else
            rest += line;
        start = end;
    }
    std::sort(variables.begin(), variables.end());
    std::string normal;
    for (const std::string &line : variables)
        normal += line;
    return normal + rest;
}

// Every record, walked with get-next, passes the check and is taken back by update.
void UpdateEveryRecord(XrCfg *cfg)
{
    for (int32_t kind = 1; kind <= XR_CFG_KINDS; kind++) {
        std::vector<char> record(XrCfgLayouts[kind].size);
        for (int32_t more = XrCfgCount(cfg, kind) > 0 ? 1 : 0; more == 1;) {
            more = XrCfgGetNext(cfg, kind, record.data());
            if (more < 0 || XrCfgCheckRecord(cfg->form, kind, record.data(), nullptr) != 0 ||
                XrCfgUpdate(cfg, kind, record.data()) != 0)
                abort();
            XrCfgFreeRecord(kind, record.data());
        }
    }
}

XrCfg *Open(int32_t form, uint32_t mask, const char *bytes, size_t size)
{
    XrCfg *cfg = nullptr;
    XrCfgProblem problem;
    return XrCfgOpenBytes(nullptr, form, mask, bytes, size, &cfg, &problem) == 0 ? cfg : nullptr;
}

void Check(int32_t form, uint32_t mask, const char *bytes, size_t size)
{
    XrCfg *cfg = Open(form, mask, bytes, size);
    if (!cfg)
        return;
    std::string model = DescribeModel(cfg);
    UpdateEveryRecord(cfg);
    if (DescribeModel(cfg) != model)
        abort();
    std::string first = Save(cfg);
    XrCfgClose(cfg);
    XrCfg *second = Open(form, mask, first.data(), first.size());
    if (!second || DescribeModel(second) != model)
        abort();
    std::string again = Save(second);
    XrCfgClose(second);
    if (Normal(again) != Normal(first))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    uint32_t mask = ((data[0] >> 1) | (static_cast<uint32_t>(data[1]) << 7)) & 0x3FF;
    const char *text = reinterpret_cast<const char *>(data + 2);
    for (int32_t form = XR_CFG_FORM_CLIENT; form <= XR_CFG_FORM_SERVER; form++) {
        Check(form, mask, text, size - 2);
        Check(form, 0x3FF, text, size - 2);
    }
    return 0;
}
