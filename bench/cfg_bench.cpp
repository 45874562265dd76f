// The configuration model on a large client file: 100,000 proxy rules with DNS and application
// lines. Each figure is the best of a few runs, set against plain stdio on the same bytes in the
// same run:
//   open             XrCfgOpen alone, against reading the file
//   edit-and-save    open, delete every proxy rule, append them again, save, close; against
//                    reading the file and writing it out again (flushed to the disk, as save does)
//   floor            allocating the records and lists alone, which no open can beat
//   memory           the peak memory of each, measured in a fresh process, against the records'
//                    own size (records, their lists and the variables)
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cfg_model.h"

namespace {

using Clock = std::chrono::steady_clock;

const int kRules = 100000;
const int kRuns = 5;

std::string MakeFile()
{
    std::mt19937 random(7);
    std::string text = "# generated client rules\r\nset timeout=30\r\nset retries=3\r\n";
    char line[256];
    for (int i = 0; i < kRules; i++) {
        int a = random() % 256, b = random() % 256, c = random() % 256, gw = random() % 40;
        switch (random() % 20) {
        case 0:
            snprintf(line, sizeof line, "noproxy - 192.168.%d.%d * -\r\n", a, b);
            break;
        case 1:
            snprintf(line, sizeof line, "gbind 10.%d.%d.0/24 %d gw%d.corp.example:1080\r\n", a, b, 1024 + c, gw);
            break;
        case 2:
            snprintf(line, sizeof line, "socks4 - 172.%d.%d.0/24 1-1023 - gw%d.corp.example:1080\r\n", a % 16 + 16, b, gw);
            break;
        default:
            snprintf(line, sizeof line, "socks5 - 10.%d.%d.%d/32 1-65535 user%d gw%d.corp.example:1080,gw%d.corp.example\r\n",
                     a, b, c, c, gw, (gw + 1) % 40);
        }
        text += line;
    }
    for (int i = 0; i < 200; i++) {
        snprintf(line, sizeof line, "%s site%d.example,branch%d.corp.example,lab%d\r\n", i % 2 ? "remotedns" : "localdns", i, i, i);
        text += line;
    }
    for (int i = 0; i < 2000; i++) {
        snprintf(line, sizeof line, "%s C:\\Program Files\\Vendor %d\\app%d.exe\r\n", i % 3 == 0 ? "yes" : i % 3 == 1 ? "no" : "sys", i, i);
        text += line;
    }
    return text;
}

double Milliseconds(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Timed(const std::function<void()> &work)
{
    Clock::time_point start = Clock::now();
    work();
    return Milliseconds(start);
}

// The best of a few runs, each returning the milliseconds it measured.
double Best(const std::function<double()> &run)
{
    double best = 1e30;
    for (int i = 0; i < kRuns; i++)
        best = std::min(best, run());
    return best;
}

void Fail(const char *what)
{
    fprintf(stderr, "cfg_bench: %s failed\n", what);
    exit(1);
}

std::string ReadPlain(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        Fail("read");
    fseek(file, 0, SEEK_END);
    std::string bytes(ftell(file), '\0');
    fseek(file, 0, SEEK_SET);
    if (fread(&bytes[0], 1, bytes.size(), file) != bytes.size())
        Fail("read");
    fclose(file);
    return bytes;
}

void WritePlain(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fflush(file) != 0 ||
        fsync(fileno(file)) != 0 || fclose(file) != 0)
        Fail("write");
}

XrCfg *Open(const std::string &path)
{
    XrCfg *cfg = nullptr;
    if (XrCfgOpen(path.c_str(), XR_CFG_FORM_CLIENT, 0, &cfg) != 0)
        Fail("open");
    return cfg;
}

// The rules as the proxy page holds them: copies taken from the model.
std::vector<XrCfgProxy> Rules(XrCfg *cfg)
{
    std::vector<XrCfgProxy> rules(XrCfgCount(cfg, XR_CFG_KIND_PROXY));
    for (XrCfgProxy &rule : rules)
        if (XrCfgGetNext(cfg, XR_CFG_KIND_PROXY, &rule) < 0)
            Fail("get");
    return rules;
}

void EditAndSave(const std::string &path, std::vector<XrCfgProxy> &rules)
{
    XrCfg *cfg = Open(path);
    if (XrCfgDelete(cfg, XR_CFG_KIND_PROXY, nullptr) != 0)
        Fail("delete");
    for (XrCfgProxy &rule : rules)
        if (XrCfgAppend(cfg, XR_CFG_KIND_PROXY, &rule) != 0)
            Fail("append");
    if (XrCfgSave(nullptr, 0, cfg) != 0)
        Fail("save");
    XrCfgClose(cfg);
}

size_t RecordsSize(const XrCfg *cfg)
{
    size_t size = cfg->variables ? cfg->variables->count * (XR_CFG_VALUE_SIZE + XR_CFG_NAME_SIZE) : 0;
    for (int32_t kind = XR_CFG_KIND_AUTH; kind <= XR_CFG_KINDS; kind++) {
        const XrCfgLayout &layout = XrCfgLayouts[kind];
        for (int32_t i = 0; i < cfg->kinds[kind].count; i++) {
            const char *record = static_cast<const char *>(cfg->records[kind]) + i * layout.size;
            size += layout.size;
            for (int32_t l = 0; l < layout.lists; l++) {
                int32_t count;
                memcpy(&count, record + layout.list[l].count, sizeof count);
                size += count * layout.list[l].itemSize;
            }
        }
    }
    return size;
}

// What no open can go below: allocating the records and their lists in the model's pieces (one
// array per kind, one block per list) and touching each.
double MemoryFloor(const XrCfg *cfg)
{
    std::vector<void *> blocks;
    Clock::time_point start = Clock::now();
    for (int32_t kind = XR_CFG_KIND_AUTH; kind <= XR_CFG_KINDS; kind++) {
        const XrCfgLayout &layout = XrCfgLayouts[kind];
        int32_t count = cfg->kinds[kind].count;
        if (count == 0)
            continue;
        char *array = static_cast<char *>(calloc(count, layout.size));
        blocks.push_back(array);
        for (int32_t i = 0; i < count; i++) {
            const char *record = static_cast<const char *>(cfg->records[kind]) + i * layout.size;
            array[i * layout.size] = 1;
            for (int32_t l = 0; l < layout.lists; l++) {
                int32_t items;
                memcpy(&items, record + layout.list[l].count, sizeof items);
                if (items > 0) {
                    char *list = static_cast<char *>(calloc(items, layout.list[l].itemSize));
                    list[0] = 1;
                    blocks.push_back(list);
                }
            }
        }
    }
    double ms = Milliseconds(start);
    for (void *block : blocks)
        free(block);
    return ms;
}

long StatusKb(const char *field)
{
    FILE *status = fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    while (status && fgets(line, sizeof line, status))
        if (strncmp(line, field, strlen(field)) == 0)
            kb = atol(line + strlen(field));
    if (status)
        fclose(status);
    return kb;
}

// In a fresh process: the peak resident memory an operation adds, in bytes.
int MeasureMemory(const char *operation, const std::string &path)
{
    std::vector<XrCfgProxy> rules;
    if (strcmp(operation, "edit") == 0) {
        XrCfg *cfg = Open(path);
        rules = Rules(cfg);
        XrCfgClose(cfg);
    }
    malloc_trim(0);
    long before = StatusKb("VmRSS:");
    FILE *reset = fopen("/proc/self/clear_refs", "w");
    if (reset) {
        fputs("5", reset);
        fclose(reset);
    }
    if (rules.empty())
        XrCfgClose(Open(path));
    else
        EditAndSave(path, rules);
    printf("%ld\n", (StatusKb("VmHWM:") - before) * 1024);
    for (XrCfgProxy &rule : rules)
        XrCfgFreeRecord(XR_CFG_KIND_PROXY, &rule);
    return 0;
}

double PeakMemory(const char *self, const char *operation, const std::string &path)
{
    std::string command = std::string("'") + self + "' --memory " + operation + " '" + path + "'";
    FILE *child = popen(command.c_str(), "r");
    double bytes = 0;
    if (!child || fscanf(child, "%lf", &bytes) != 1)
        Fail("memory measure");
    pclose(child);
    return bytes;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "--memory") == 0)
        return MeasureMemory(argv[2], argv[3]);

    char dir[] = "/tmp/cfg_bench-XXXXXX";
    if (!mkdtemp(dir))
        Fail("temporary folder");
    std::string path = std::string(dir) + "/client.cfg", copy = std::string(dir) + "/copy.cfg";
    std::string text = MakeFile();
    WritePlain(path, text);

    XrCfg *cfg = Open(path);
    size_t records = RecordsSize(cfg);
    std::vector<XrCfgProxy> rules = Rules(cfg);
    double floor = Best([&] { return MemoryFloor(cfg); });
    XrCfgClose(cfg);

    double read = Best([&] { return Timed([&] { ReadPlain(path); }); });
    double readWrite = Best([&] { return Timed([&] { WritePlain(copy, ReadPlain(path)); }); });
    double open = Best([&] {
        XrCfg *model = nullptr;
        double ms = Timed([&] { model = Open(path); });
        XrCfgClose(model);
        return ms;
    });
    double edit = Best([&] { return Timed([&] { EditAndSave(path, rules); }); });
    double openMemory = PeakMemory(argv[0], "open", path);
    double editMemory = PeakMemory(argv[0], "edit", path);

    printf("file: %d proxy rules, %zu bytes; records' own size %.1f MB\n", kRules, text.size(), records / 1e6);
    printf("plain read:                 %8.2f ms\n", read);
    printf("plain read + write + sync:  %8.2f ms\n", readWrite);
    printf("records' allocation floor:  %8.2f ms  %5.1fx plain read\n", floor, floor / read);
    printf("open:                       %8.2f ms  %5.1fx plain read (goal 4x), %.1fx the floor\n", open, open / read,
           open / floor);
    printf("edit-and-save cycle:        %8.2f ms  %5.1fx plain read + write (goal 6x, under 1000 ms)\n", edit,
           edit / readWrite);
    printf("peak memory, open:          %8.1f MB  %5.2fx records (goal 3x)\n", openMemory / 1e6, openMemory / records);
    printf("peak memory, edit-and-save: %8.1f MB  %5.2fx records (goal 3x)\n", editMemory / 1e6, editMemory / records);

    for (XrCfgProxy &rule : rules)
        XrCfgFreeRecord(XR_CFG_KIND_PROXY, &rule);
    remove(path.c_str());
    remove(copy.c_str());
    rmdir(dir);
    return 0;
}
