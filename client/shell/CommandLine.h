// The settings program's command line: only the word "startup" (any case, also as /startup or
// -startup) means anything; every other parameter is ignored.
#ifndef CLIENT_SHELL_COMMANDLINE_H
#define CLIENT_SHELL_COMMANDLINE_H

struct ClientCommandLineInfo {
    bool startup = false;

    // commandLine: the parameters after the program name, as WinMain receives them.
    void Parse(const char *commandLine);
};

#endif
