#include "archive/rarsearch.h"

#include "archive/archivesearch.h"
#include "content/grepfile.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"
#include "content/systemcodec.h"
#include "archive/unrarlayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

constexpr unsigned int commentBufferSize = 16384;

// The entry's path with "/" separators, as the name matching expects (a reader on Windows
// gives backslashes).
QString entryNameOf(const RARHeaderDataEx &header)
{
    if (header.FileNameW[0])
        return QDir::fromNativeSeparators(QString::fromWCharArray(header.FileNameW));
    return QDir::fromNativeSeparators(systemCodec()->toUnicode(header.FileName));
}

// Wide names as 8-bit text for the console.
QByteArray consoleText(const wchar_t *text)
{
    return QString::fromWCharArray(text).toLocal8Bit();
}

void cutAtLineEnd(wchar_t *buffer, size_t capacity)
{
    for (size_t i = 0; i < capacity && buffer[i]; ++i) {
        if (buffer[i] == L'\r' || buffer[i] == L'\n') {
            buffer[i] = L'\0';
            return;
        }
    }
}

bool consoleAttached()
{
    return isatty(fileno(stdin));
}

int askForMissingVolume(wchar_t *volumeName)
{
    printf("\n\nVolume %s is required\nPossible options:\n", consoleText(volumeName).constData());
    printf("\nEnter - try again");
    printf("\n'R'   - specify a new volume name");
    printf("\n'Q'   - quit");
    printf("\nEnter your choice: ");
    fflush(stdout);
    // Nobody can answer without a console: give the archive up rather than wait for ever.
    if (!consoleAttached())
        return -1;
    const int answer = getchar();
    if (answer == EOF)
        return -1;
    const int choice = std::toupper(answer);
    if (choice == 'R') {
        printf("\nEnter new name: ");
        fflush(stdout);
    }
    // The rest of the answer's line is not for the next question.
    for (int c = answer; c != '\n' && c != EOF;)
        c = getchar();
    if (choice == 'Q')
        return -1;
    if (choice == 'R') {
        // The buffer and its size belong to the reader: no new name is written into it.
        cutAtLineEnd(volumeName, size_t(-1));
    }
    return 0;
}

} // namespace

int rarCallback(unsigned int msg, intptr_t userData, intptr_t p1, intptr_t p2)
{
    Q_UNUSED(userData);
    switch (msg) {
    case UCM_CHANGEVOLUMEW: {
        auto *volumeName = reinterpret_cast<wchar_t *>(p1);
        if (p2 == RAR_VOL_ASK)
            return askForMissingVolume(volumeName);
        if (p2 == RAR_VOL_NOTIFY)
            printf("\n  ... volume %s\n", consoleText(volumeName).constData());
        return 0;
    }
    case UCM_NEEDPASSWORDW:
        printf("\nPassword required: ");
        cutAtLineEnd(reinterpret_cast<wchar_t *>(p1), size_t(p2));
        return 0;
    case UCM_PROCESSDATA:
        return searchStopRequested() ? -1 : 0;
    default:
        return 0;
    }
}

void reportRarError(int code, const QByteArray &archivePath, int errorKind)
{
    const char *path = archivePath.constData();
    switch (code) {
    case ERAR_NO_MEMORY:
        printf("\nNot enough memory");
        break;
    case ERAR_BAD_DATA:
        printf("\n%s: archive header or data are damaged", path);
        break;
    case ERAR_BAD_ARCHIVE:
        printf("\n%s is not RAR archive", path);
        break;
    case ERAR_UNKNOWN_FORMAT:
        printf("Unknown archive format");
        break;
    case ERAR_EOPEN:
        if (errorKind == 2)
            printf("Volume open error");
        else
            printf("\nCannot open %s", path);
        break;
    case ERAR_ECREATE:
        printf("File create error");
        break;
    case ERAR_ECLOSE:
        printf("File close error");
        break;
    case ERAR_EREAD:
        printf("Read error");
        break;
    case ERAR_EWRITE:
        printf("Write error");
        break;
    case ERAR_SMALL_BUF:
        printf("Buffer for archive comment is too small, comment truncated");
        break;
    case ERAR_UNKNOWN:
        printf("Unknown error");
        break;
    case ERAR_MISSING_PASSWORD:
        printf("Password for encrypted file or header is not specified");
        break;
    default:
        break;
    }
}

void searchRarArchive(const QByteArray &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    std::vector<char> comment(commentBufferSize);
    QByteArray arcName = archivePath;
    RAROpenArchiveDataEx openData = {};
    openData.ArcName = arcName.data();
    openData.ArcNameW = nullptr;
    openData.OpenMode = RAR_OM_EXTRACT;
    openData.CmtBuf = comment.data();
    openData.CmtBufSize = commentBufferSize;
    openData.Callback = rarCallback;
    openData.UserData = 0;

    void *archive = RAROpenArchiveEx(&openData);
    if (openData.OpenResult != ERAR_SUCCESS) {
        reportRarError(int(openData.OpenResult), archivePath, 0);
        return;
    }
    // A later volume of a set is read as part of the set, from its first volume: searched on
    // its own it would report the same entries again.
    if ((openData.Flags & ROADF_VOLUME) && !(openData.Flags & ROADF_FIRSTVOLUME)) {
        RARCloseArchive(archive);
        return;
    }

    const QString tempPath = archiveTempFile(options, "rar.tmp");
    QByteArray tempPath8 = QFile::encodeName(tempPath);
    const auto header = std::make_unique<RARHeaderDataEx>();
    header->CmtBuf = nullptr;
    header->CmtBufSize = 0;

    int readResult = ERAR_SUCCESS;
    for (;;) {
        if (searchStopRequested()) {
            readResult = ERAR_END_ARCHIVE;
            break;
        }
        readResult = RARReadHeaderEx(archive, header.get());
        if (readResult != ERAR_SUCCESS)
            break;
        const QString entryName = entryNameOf(*header);
        int processResult;
        if (!matchEntryName(options, entryName)) {
            processResult = RARProcessFile(archive, RAR_SKIP, nullptr, nullptr);
        } else if (options->grepText.isEmpty()) {
            hits.append(TFileInfo{archiveHitName(QByteArray(header->ArcName), entryName), 0, QString()});
            processResult = RARProcessFile(archive, RAR_SKIP, nullptr, nullptr);
        } else {
            // Extracting a directory entry leaves a directory at the temporary path; only an
            // empty one can be removed, and the next entry needs the name.
            if (QFileInfo(tempPath).isDir())
                QDir().rmdir(tempPath);
            processResult = RARProcessFile(archive, RAR_EXTRACT, nullptr, tempPath8.data());
            if (searchStopRequested())
                break;  // the extraction may have been cut short: nothing to report or search
            if (processResult == ERAR_SUCCESS && !(header->Flags & RHDF_DIRECTORY))
                grepFile(options, tempPath, hits, archiveHitName(archivePath, entryName));
        }
        if (processResult != ERAR_SUCCESS) {
            reportRarError(processResult, archivePath, 2);
            break;
        }
    }
    reportRarError(readResult, archivePath, 1);
    RARCloseArchive(archive);
}
