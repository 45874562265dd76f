#include "FieldChecks.h"

#include "ClientSettings.h"

namespace {

const size_t kMaxText = 255;
// A server is written as host, ':' and port into a field of kMaxText characters.
const size_t kMaxHost = kMaxText - 6;
const int kMaxPort = 65535;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsSeparator(char c)
{
    return c == ',' || static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
}

}

bool IsPortNumber(const std::string &text)
{
    if (text.empty() || text.size() > 5)
        return false;
    int value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= kMaxPort;
}

bool IsHostName(const std::string &text)
{
    if (text.empty() || text.size() > kMaxHost)
        return false;
    for (char c : text)
        if (!IsDigit(c) && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && c != '.' && c != '-' && c != '_')
            return false;
    return true;
}

bool IsDestination(const std::string &text)
{
    if (text.empty() || text.size() > kMaxText)
        return false;
    for (char c : text)
        if (IsSeparator(c) && c != ',')
            return false;
    return true;
}

std::vector<std::string> SplitWords(const std::string &text)
{
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        while (start < text.size() && IsSeparator(text[start]))
            start++;
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end]))
            end++;
        if (end > start)
            words.push_back(text.substr(start, end - start));
        start = end;
    }
    return words;
}

std::string WriteFailure(int code)
{
    switch (code) {
    case XR_SETTINGS_OPEN_FAILED:
        return "The file can neither be opened nor created.";
    case XR_SETTINGS_ADD_FAILED:
        return "An entry cannot be written so that it reads back as it is; the log names it.";
    default:
        return "The file cannot be written: it may be read-only, or the disk full.";
    }
}
