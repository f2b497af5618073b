// Starting another program or the desktop's opener, detached: the window never waits for them.
#include "host/Process.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const QString kOpener = QStringLiteral("xdg-open");

// In the forked child: a new session, and in it the grandchild that becomes the program or writes
// errno to `report`. The child itself ends at once, so the caller reaps it without waiting long.
[[noreturn]] void StartGrandchild(std::vector<char*>& argv, const QByteArray& workingDirectory, int report)
{
    setsid();
    if (fork() == 0) {
        if (chdir(workingDirectory.constData()) == 0) {
            execvp(argv[0], argv.data());
        }
        const int error = errno;
        (void)!write(report, &error, sizeof error);
        _exit(127);
    }
    _exit(0);
}

// Starts `arguments[0]` from PATH in `directory`, as a grandchild that nobody has to reap.
// True once the program image has replaced the child, false when it could not be started.
bool SpawnDetached(const QStringList& arguments, const QString& directory)
{
    std::vector<QByteArray> encoded;
    for (const QString& argument : arguments) {
        encoded.push_back(QFile::encodeName(argument));
    }
    std::vector<char*> argv;
    for (QByteArray& argument : encoded) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const QByteArray workingDirectory = QFile::encodeName(directory);

    // The grandchild reports a failed exec through this pipe; a successful exec closes it.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t child = fork();
    if (child == 0) {
        StartGrandchild(argv, workingDirectory, report[1]);
    }
    close(report[1]);
    bool started = false;
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        int error = 0;
        ssize_t got;
        while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
        started = got == 0;
    }
    close(report[0]);
    return started;
}

} // namespace

bool RunProgram(const QString& program, const QString& parameters, const QString& workingDirectory)
{
    const QString directory = workingDirectory.isEmpty() ? QDir::currentPath() : workingDirectory;
    QStringList arguments{program};
    if (!parameters.isEmpty()) {
        arguments << parameters;
    }
    if (SpawnDetached(arguments, directory)) {
        return true;
    }
    // The program itself could not start: let the desktop open it as a file, as a shell would.
    return program != kOpener && SpawnDetached({kOpener, program}, directory);
}

void OpenWebPage(const QString& address)
{
    SpawnDetached({kOpener, address}, QDir::currentPath());
}
