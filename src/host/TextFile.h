// Line-oriented UTF-8 text files: CR LF written, LF, CR LF or a lone CR read, no byte-order mark.
#pragma once

#include <QString>
#include <memory>

class QSaveFile;

struct TextFile {
    TextFile();
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    int fd = -1;                       // reading: the open descriptor, -1 when not open
    std::unique_ptr<QSaveFile> output; // writing: null when not open
    char buffer[64 * 1024];            // read buffer
    int bufferFill = 0;
    int bufferPos = 0;
    bool atEnd = false;
    bool writeFailed = false; // a write was refused; reported by CloseFile
    QString error;            // why the last open, write or close failed
};

// Opens an existing regular file without sharing (an exclusive advisory lock). False when it is
// missing, not a regular file, unreadable or locked by another program; `file.error` says why.
// Where the file system cannot lock (NFS, some FUSE mounts) the file opens unlocked.
bool OpenFileForReading(TextFile& file, const QString& path);

// Whether a failed exclusive lock with this errno means another program holds the file.
bool LockRefusesFile(int error);

// Prepares `path` for writing. The content goes to a temporary file in the same folder and
// replaces `path` only when CloseFile has written every byte, so a failed save leaves an
// existing file untouched. False when the temporary file cannot be created.
bool CreateFileForWriting(TextFile& file, const QString& path);

// One line without its line end; empty text at the end of the file or when nothing is open.
QString ReadLine(TextFile& file);

// The text as UTF-8, then 0D 0A. Does nothing when nothing is open for writing.
void WriteLine(TextFile& file, const QString& text);

// Closes what is open. After writing: commits the file and returns false (with `file.error`)
// when any byte could not be written or the commit failed. True when nothing was open.
bool CloseFile(TextFile& file);
