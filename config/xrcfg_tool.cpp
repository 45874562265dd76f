// xrcfg: checks a configuration file the way the engine's settings read it, or rewrites it.
//   xrcfg check FILE [--form 1|2] [--mask HEX]
//   xrcfg rewrite FILE OUT [--form 1|2] [--mask HEX]
// Exit 0 on success, 1 when the file is refused (the first failing line is named), 2 on bad
// usage or a file that cannot be read or written.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cfg_model.h"
#include "nt/nt_log.h"

namespace {

const int kRefused = 1;
const int kUsage = 2;

struct Options {
    const char *file = nullptr;
    const char *out = nullptr;
    int32_t form = XR_CFG_FORM_CLIENT;
    uint32_t mask = 0;
};

int Usage()
{
    fputs("usage: xrcfg check FILE [--form 1|2] [--mask HEX]\n"
          "       xrcfg rewrite FILE OUT [--form 1|2] [--mask HEX]\n",
          stderr);
    return kUsage;
}

bool ParseMask(const char *text, uint32_t *mask)
{
    char *end;
    unsigned long value = strtoul(text, &end, 16);
    if (!*text || *end || value > 0xFFFFFFFFul)
        return false;
    *mask = static_cast<uint32_t>(value);
    return true;
}

// The words after the command: the files wanted, then the options in any order.
bool ParseArguments(int argc, char **argv, int files, Options *options)
{
    int next = 2;
    if (argc < next + files)
        return false;
    options->file = argv[next++];
    if (files == 2)
        options->out = argv[next++];
    for (; next < argc; next += 2) {
        if (next + 1 >= argc)
            return false;
        const char *value = argv[next + 1];
        if (strcmp(argv[next], "--form") == 0 && (strcmp(value, "1") == 0 || strcmp(value, "2") == 0))
            options->form = value[0] - '0';
        else if (strcmp(argv[next], "--mask") != 0 || !ParseMask(value, &options->mask))
            return false;
    }
    return true;
}

const char *KindName(int32_t kind, int32_t form)
{
    static const char *const names[XR_CFG_KINDS + 1] = {
        "",    "set", "auth", "route", "noproxy/socks4/socks5/gbind", "permit/deny/filter", "localdns",
        "remotedns", "yes", "no",  "sys",   "plugin", "interface", "ban"};
    return kind == XR_CFG_KIND_PROXY && form == XR_CFG_FORM_SERVER ? "noproxy/socks4/socks5" : names[kind];
}

// Opens the file; on refusal says where and why and returns the exit code.
int Open(const Options &options, XrCfg **cfg)
{
    XrCfgProblem problem = {0, "no memory"};
    if (XrCfgOpenChecked(options.file, options.form, options.mask, cfg, &problem) == 0)
        return 0;
    if (problem.line == 0) {
        fprintf(stderr, "xrcfg: %s: %s\n", options.file, problem.reason);
        return kUsage;
    }
    fprintf(stderr, "xrcfg: %s: line %d: %s\n", options.file, static_cast<int>(problem.line), problem.reason);
    return kRefused;
}

int Check(const Options &options)
{
    XrCfg *cfg;
    int status = Open(options, &cfg);
    if (status != 0)
        return status;
    for (int32_t kind = 1; kind <= XR_CFG_KINDS; kind++) {
        int32_t count = XrCfgCount(cfg, kind);
        if (count >= 0)
            printf("%s (kind %d): %d\n", KindName(kind, options.form), static_cast<int>(kind), static_cast<int>(count));
    }
    XrCfgClose(cfg);
    return 0;
}

int Rewrite(const Options &options)
{
    XrCfg *cfg;
    int status = Open(options, &cfg);
    if (status != 0)
        return status;
    if (XrCfgSave(options.out, 0, cfg) != 0) {
        fprintf(stderr, "xrcfg: %s: cannot be written\n", options.out);
        status = kUsage;
    }
    XrCfgClose(cfg);
    return status;
}

}  // namespace

int main(int argc, char **argv)
{
    Options options;
    if (argc < 2)
        return Usage();
    bool check = strcmp(argv[1], "check") == 0;
    bool rewrite = strcmp(argv[1], "rewrite") == 0;
    if ((!check && !rewrite) || !ParseArguments(argc, argv, check ? 1 : 2, &options))
        return Usage();
    // The reader's own diagnostics (why a file could not be read) go to standard error.
    XrLogOpen(XrLogProcessHandle(), XR_LOG_STDERR, XR_LOG_WARNING, nullptr);
    int status = check ? Check(options) : Rewrite(options);
    XrLogClose(XrLogProcessHandle());
    return status;
}
