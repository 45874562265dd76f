/* Helpers of the runtime's Windows tests: a scratch folder, file text, and standard error
 * captured into a file through the C runtime's descriptor 2. */
#ifndef TESTS_XRUTIL_STDERR_CAPTURE_H
#define TESTS_XRUTIL_STDERR_CAPTURE_H

#include <windows.h>

#include <io.h>
#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

/* A folder of its own under the temporary folder; its files go with it. It starts empty even
 * when a crashed run of a process with the same identifier left it behind. */
class ScratchFolder {
public:
    ScratchFolder()
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial;
        path_ = std::string(temp) + "ferrowin-test-" + std::to_string(GetCurrentProcessId())
                + "-" + std::to_string(++serial);
        CreateDirectoryA(path_.c_str(), NULL);
        DeleteFiles();
    }
    ~ScratchFolder()
    {
        DeleteFiles();
        RemoveDirectoryA(path_.c_str());
    }
    std::string File(const std::string &name) const { return path_ + "\\" + name; }

private:
    void DeleteFiles() const
    {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(File("*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
            DeleteFileA(File(found.cFileName).c_str());
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }

    std::string path_;
};

/* The text of a file read in text mode; empty when there is none. */
inline std::string ReadText(const std::string &path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

/* Standard error goes to a file from construction until Text() or destruction. */
class StderrCapture {
public:
    explicit StderrCapture(const std::string &path) : path_(path)
    {
        fflush(stderr);
        saved_ = _dup(2);
        FILE *file = fopen(path.c_str(), "w");
        _dup2(_fileno(file), 2);
        fclose(file);
    }
    ~StderrCapture() { Text(); }

    /* Ends the capture and returns what was written. */
    std::string Text()
    {
        if (saved_ >= 0) {
            fflush(stderr);
            _dup2(saved_, 2);
            _close(saved_);
            saved_ = -1;
        }
        return ReadText(path_);
    }

private:
    std::string path_;
    int saved_;
};

#endif
