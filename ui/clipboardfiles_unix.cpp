#include "clipboardfiles.h"

#include "filedropblocks.h"
#include "filedropmimedata.h"

#include <QClipboard>
#include <QGuiApplication>

void setClipboardFiles(const char *files, int length, bool copy)
{
    QGuiApplication::clipboard()->setMimeData(
        buildFileDropMimeData(unpackFileList(files, length), copy), QClipboard::Clipboard);
}
