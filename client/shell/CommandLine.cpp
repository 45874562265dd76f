#include "CommandLine.h"

#include <string>

#include "xrstr.h"

void ClientCommandLineInfo::Parse(const char *commandLine)
{
    const char *next = commandLine ? commandLine : "";
    while (*next) {
        while (*next == ' ' || *next == '\t')
            next++;
        std::string parameter;
        bool quoted = false;
        for (; *next && (quoted || (*next != ' ' && *next != '\t')); next++) {
            if (*next == '"')
                quoted = !quoted;
            else
                parameter += *next;
        }
        const char *word = parameter.c_str();
        if (*word == '/' || *word == '-')
            word++;
        if (XrStrSameText(word, "startup"))
            startup = true;
    }
}
