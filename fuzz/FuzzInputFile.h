// Fuzz helper: hands one input to the program's file reader as a real, private, regular file.
#pragma once

#include "host/TextFile.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

// One file in memory for the whole run, rewritten for each input and opened by its /proc/self/fd
// path: no disk writes to slow each run down, and nothing left behind by a crash.
class FuzzInputFile {
public:
    FuzzInputFile()
    {
        fd_ = ::memfd_create("quillon-fuzz-input", MFD_CLOEXEC);
        if (fd_ < 0)
            std::abort();
        path_ = QStringLiteral("/proc/self/fd/%1").arg(fd_);
    }
    ~FuzzInputFile() { ::close(fd_); }
    FuzzInputFile(const FuzzInputFile&) = delete;
    FuzzInputFile& operator=(const FuzzInputFile&) = delete;

    // Replaces the content with `size` bytes and opens it for reading into `file`.
    void Open(TextFile& file, const void* data, std::size_t size)
    {
        if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size))
            std::abort();
        if (!OpenFileForReading(file, path_))
            std::abort(); // the harness failed, not the reader: nothing here stops a regular file opening
    }

private:
    int fd_ = -1;
    QString path_;
};
