// The xrcfg program, run as an administrator would run it.
#include "cfg_test_files.h"

#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

struct ToolRun {
    int status;
    std::string output;
};

// xrcfg lies beside this test program.
std::string ToolPath()
{
    char self[4096] = {};
#ifdef _WIN32
    GetModuleFileNameA(nullptr, self, sizeof self - 1);
    std::string path = self;
    return path.substr(0, path.find_last_of("\\/") + 1) + "xrcfg.exe";
#else
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, length > 0 ? length : 0);
    return path.substr(0, path.find_last_of('/') + 1) + "xrcfg";
#endif
}

ToolRun Xrcfg(const std::string &arguments)
{
    std::string command = "\"" + ToolPath() + "\" " + arguments + " 2>&1";
#ifdef _WIN32
    // The command processor drops the outer pair of quotes.
    FILE *pipe = _popen(("\"" + command + "\"").c_str(), "r");
#else
    FILE *pipe = popen(command.c_str(), "r");
#endif
    ToolRun run = {-1, ""};
    if (!pipe)
        return run;
    char buffer[512];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, got);
#ifdef _WIN32
    run.status = _pclose(pipe);
#else
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return run;
}

std::string Quoted(const std::string &path)
{
    return "\"" + path + "\"";
}

const char kFile[] = "# rules\r\nset a=1\r\nsocks5 - d p - s\r\nnoproxy - e p\r\nyes a b\r\nban h p\r\n";

TEST(XrcfgTool, CheckCountsEachKindOfTheForm)
{
    TempDir dir;
    ToolRun run = Xrcfg("check " + Quoted(dir.Write("a.cfg", kFile)));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Crlf(run.output), Crlf("set (kind 1): 1\nauth (kind 2): 0\nnoproxy/socks4/socks5/gbind (kind 4): 2\n"
                                     "localdns (kind 6): 0\nremotedns (kind 7): 0\nyes (kind 8): 1\nno (kind 9): 0\n"
                                     "sys (kind 10): 0\n"));
    run = Xrcfg("check " + Quoted(dir.Path("a.cfg")) + " --mask 208 --form 2");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Crlf(run.output), Crlf("noproxy/socks4/socks5 (kind 4): 2\nban (kind 13): 1\n"));
}

TEST(XrcfgTool, CheckNamesTheFirstRefusedLine)
{
    TempDir dir;
    ToolRun run = Xrcfg("check " + Quoted(dir.Write("a.cfg", "yes a\nsocks5 - d p -\nset x\n")));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("line 2: the server list is missing"), std::string::npos) << run.output;
}

TEST(XrcfgTool, RewriteWritesWhatTheSettingsWouldSave)
{
    TempDir dir;
    std::string out = dir.Path("out.cfg");
    ToolRun run = Xrcfg("rewrite " + Quoted(dir.Write("a.cfg", kFile)) + " " + Quoted(out));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadBytes(out), Crlf("set a=1\nsocks5 - d p - s\nnoproxy - e p - \nyes a b\n"));
}

TEST(XrcfgTool, BadUsageOrUnreadableFileExitsTwo)
{
    TempDir dir;
    std::string file = Quoted(dir.Write("a.cfg", kFile));
    for (const std::string &arguments : {std::string(""), std::string("check"), "check " + file + " --form 3",
                                         "check " + file + " --mask xyz", "check " + file + " --form",
                                         "rewrite " + file, "check " + Quoted(dir.Path("missing.cfg"))})
        EXPECT_EQ(Xrcfg(arguments).status, 2) << arguments;
}

}  // namespace
