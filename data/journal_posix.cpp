#include "data/journal.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool SyncFileData(QFile& file)
{
    const int fd = file.handle();
    if (fd < 0)
        return false;
    int r;
    do {
        r = ::fdatasync(fd);
    } while (r != 0 && errno == EINTR);
    return r == 0;
}

bool SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int r;
    do {
        r = ::fsync(fd);
    } while (r != 0 && errno == EINTR);
    ::close(fd);
    return r == 0;
}
