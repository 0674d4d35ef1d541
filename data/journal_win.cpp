#include "data/journal.h"

#include <QFile>

#include <io.h>
#include <windows.h>

bool SyncFileData(QFile& file)
{
    const int fd = file.handle();
    if (fd < 0)
        return false;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h) != 0;
}

// NTFS keeps a renamed or new file's entry with the file's own metadata; there is nothing to flush.
bool SyncFolder(const QString&)
{
    return true;
}
