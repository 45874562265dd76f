// File handling of save, the one place where the platforms differ: a new file next to the target,
// flushed to the disk, then put in the target's place in one step.
#include "cfg_model.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Text mode: the runtime writes each "\n" as CR LF.
const char kWriteMode[] = "w";
const int kOpenFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT;
const int kOpenPermissions = _S_IREAD | _S_IWRITE;

int ProcessId()
{
    return _getpid();
}

int SyncToDisk(FILE *file)
{
    return _commit(_fileno(file));
}

// A replaced file keeps its attributes and security, and a reader that shares deletion does not
// stop the replace. The backup name is ours: without one a failed replace can leave temporary
// files behind.
int Rename(const char *sibling, const char *target)
{
    const DWORD kMove = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES)
        return MoveFileExA(sibling, target, kMove) ? 0 : -1;
    std::string backup = std::string(sibling) + "old";
    if (ReplaceFileA(target, sibling, backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        DeleteFileA(backup.c_str());
        return 0;
    }
    // A replace that failed half-way leaves the old file under the backup name: put it back.
    if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES)
        MoveFileExA(backup.c_str(), target, 0);
    return MoveFileExA(sibling, target, kMove) ? 0 : -1;
}

void KeepPermissions(int, const char *)
{
}

bool ReadOnly(const char *target)
{
    DWORD attributes = GetFileAttributesA(target);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}
#else
const char kWriteMode[] = "wb";
const int kOpenFlags = O_WRONLY | O_CREAT | O_EXCL;
const int kOpenPermissions = 0666;

int ProcessId()
{
    return static_cast<int>(getpid());
}

int SyncToDisk(FILE *file)
{
    return fsync(fileno(file));
}

int Rename(const char *sibling, const char *target)
{
    return rename(sibling, target);
}

// The new file takes the old one's permissions rather than the creation defaults.
void KeepPermissions(int fd, const char *target)
{
    struct stat status;
    if (stat(target, &status) == 0)
        fchmod(fd, status.st_mode & 07777);
}

// Without any write permission bit, or not writable by this user. (The permission bits also
// stop a user whom access() lets write anything.)
bool ReadOnly(const char *target)
{
    struct stat status;
    if (stat(target, &status) != 0)
        return false;
    return !(status.st_mode & 0222) || access(target, W_OK) != 0;
}
#endif

}  // namespace

FILE *XrCfgCreateSibling(const char *target, char **sibling)
{
    const int kAttempts = 100;
    size_t size = strlen(target) + 32;
    char *name = static_cast<char *>(malloc(size));
    if (!name)
        return nullptr;
    for (int attempt = 0; attempt < kAttempts; attempt++) {
        snprintf(name, size, "%s.%d-%d~", target, ProcessId(), attempt);
        int fd = open(name, kOpenFlags, kOpenPermissions);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            break;
        }
        KeepPermissions(fd, target);
        FILE *file = fdopen(fd, kWriteMode);
        if (!file) {
            close(fd);
            remove(name);
            break;
        }
        *sibling = name;
        return file;
    }
    free(name);
    return nullptr;
}

int32_t XrCfgFinish(FILE *file)
{
    bool written = fflush(file) == 0 && SyncToDisk(file) == 0;
    return fclose(file) == 0 && written ? 0 : -1;
}

int32_t XrCfgReplace(const char *sibling, const char *target)
{
    return Rename(sibling, target) == 0 ? 0 : -1;
}

int32_t XrCfgReadOnly(const char *target)
{
    return ReadOnly(target) ? 1 : 0;
}

FILE *XrCfgCreateInPlace(const char *target)
{
    return fopen(target, kWriteMode);
}
