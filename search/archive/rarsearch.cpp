#include "archive/rarsearch.h"

#include "archive/archiveentries.h"
#include "archive/extractionplace.h"
#include "archive/nestedentry.h"
#include "archive/packedsearch.h"
#include "archive/rarvolumenames.h"
#include "content/grepfile.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"
#include "content/systemcodec.h"
#include "archive/unrarlayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <memory>
#include <vector>

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

// Wide names as 8-bit text for the diagnostics.
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

// The engine runs without a console (a window, or a command line whose input is not for it):
// nobody can answer, so the question is written and the archive given up.
int giveUpMissingVolume(const DiagnosticSink &diagnostics, const wchar_t *volumeName)
{
    reportDiagnostic(diagnostics, "\n\nVolume %s is required\nPossible options:\n", consoleText(volumeName).constData());
    reportDiagnostic(diagnostics, "\nEnter - try again");
    reportDiagnostic(diagnostics, "\n'R'   - specify a new volume name");
    reportDiagnostic(diagnostics, "\n'Q'   - quit");
    reportDiagnostic(diagnostics, "\nEnter your choice: ");
    return -1;
}

// A later volume is searched from the volume before it, which reads on into it; only when that
// one is not there is it searched on its own, or its entries could never be found.
bool isReadFromAnEarlierVolume(const QByteArray &archivePath, unsigned int flags)
{
    if (!(flags & ROADF_VOLUME) || (flags & ROADF_FIRSTVOLUME))
        return false;
    for (const std::string &name : previousRarVolumeNames(archivePath.toStdString(), flags & ROADF_NEWNUMBERING)) {
        if (QFileInfo(QFile::decodeName(name.c_str())).isFile())
            return true;
    }
    return false;
}

} // namespace

int rarCallback(unsigned int msg, intptr_t userData, intptr_t p1, intptr_t p2)
{
    const auto *options = reinterpret_cast<const TSearchOptions *>(userData);
    const DiagnosticSink noSink;
    const DiagnosticSink &diagnostics = options ? options->diagnostics : noSink;
    switch (msg) {
    case UCM_CHANGEVOLUMEW: {
        const auto *volumeName = reinterpret_cast<const wchar_t *>(p1);
        if (p2 == RAR_VOL_ASK)
            return giveUpMissingVolume(diagnostics, volumeName);
        if (p2 == RAR_VOL_NOTIFY)
            reportDiagnostic(diagnostics, "\n  ... volume %s\n", consoleText(volumeName).constData());
        return 0;
    }
    case UCM_NEEDPASSWORDW:
        reportDiagnostic(diagnostics, "\nPassword required: ");
        cutAtLineEnd(reinterpret_cast<wchar_t *>(p1), size_t(p2));
        return 0;
    case UCM_PROCESSDATA:
        return searchStopRequested() ? -1 : 0;
    default:
        return 0;
    }
}

void reportRarError(const DiagnosticSink &diagnostics, int code, const QByteArray &archivePath, int errorKind)
{
    const char *path = archivePath.constData();
    switch (code) {
    case ERAR_NO_MEMORY:
        reportDiagnostic(diagnostics, "\nNot enough memory");
        break;
    case ERAR_BAD_DATA:
        reportDiagnostic(diagnostics, "\n%s: archive header or data are damaged", path);
        break;
    case ERAR_BAD_ARCHIVE:
        reportDiagnostic(diagnostics, "\n%s is not RAR archive", path);
        break;
    case ERAR_UNKNOWN_FORMAT:
        reportDiagnostic(diagnostics, "Unknown archive format");
        break;
    case ERAR_EOPEN:
        if (errorKind == 2)
            reportDiagnostic(diagnostics, "Volume open error");
        else
            reportDiagnostic(diagnostics, "\nCannot open %s", path);
        break;
    case ERAR_ECREATE:
        reportDiagnostic(diagnostics, "File create error");
        break;
    case ERAR_ECLOSE:
        reportDiagnostic(diagnostics, "File close error");
        break;
    case ERAR_EREAD:
        reportDiagnostic(diagnostics, "Read error");
        break;
    case ERAR_EWRITE:
        reportDiagnostic(diagnostics, "Write error");
        break;
    case ERAR_SMALL_BUF:
        reportDiagnostic(diagnostics, "Buffer for archive comment is too small, comment truncated");
        break;
    case ERAR_UNKNOWN:
        reportDiagnostic(diagnostics, "Unknown error");
        break;
    case ERAR_MISSING_PASSWORD:
        reportDiagnostic(diagnostics, "Password for encrypted file or header is not specified");
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
    openData.UserData = intptr_t(options);  // the callback writes to the search's sink

    void *archive = RAROpenArchiveEx(&openData);
    if (openData.OpenResult != ERAR_SUCCESS) {
        reportRarError(options->diagnostics, int(openData.OpenResult), archivePath, 0);
        return;
    }
    // Read as part of the set from an earlier volume: searched again it would report the same
    // entries twice.
    if (isReadFromAnEarlierVolume(archivePath, openData.Flags)) {
        RARCloseArchive(archive);
        return;
    }

    std::unique_ptr<ExtractionPlace> ownPlace;
    ExtractionPlace &place = extractionPlaceFor(options, ownPlace);
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
        // An archive or a document inside (not encrypted): opened as one inside a ZIP is.
        const bool plainFile = !(header->Flags & (RHDF_DIRECTORY | RHDF_ENCRYPTED));
        const NestedKind nested = plainFile ? nestedKindOf(options, entryName, 1) : NestedKind::None;
        if (nested != NestedKind::None) {
            if (options->grepText.isEmpty() && matchEntryName(options, entryName))
                hits.append(TFileInfo{archiveHitName(QByteArray(header->ArcName), entryName), 0, QString()});
            processResult = ERAR_SUCCESS;
            bool written = false;
            const EntryWriter write = [&](const std::string &path) {
                written = true;
                std::string target = path;
                processResult = RARProcessFile(archive, RAR_EXTRACT, nullptr, &target[0]);
                return searchStopRequested()            ? EntryExtraction::Stopped
                    : processResult == ERAR_SUCCESS ? EntryExtraction::Written
                                                    : EntryExtraction::NotWritten;
            };
            const QString hitName = archiveHitName(archivePath, entryName);
            if (searchHeldEntry(nested, entryName, hitName, 1, write, hits, options, place) == EntryExtraction::Stopped)
                break;
            if (!written)
                processResult = RARProcessFile(archive, RAR_SKIP, nullptr, nullptr);
        } else if (!matchEntryName(options, entryName)) {
            processResult = RARProcessFile(archive, RAR_SKIP, nullptr, nullptr);
        } else if (options->grepText.isEmpty()) {
            hits.append(TFileInfo{archiveHitName(QByteArray(header->ArcName), entryName), 0, QString()});
            processResult = RARProcessFile(archive, RAR_SKIP, nullptr, nullptr);
        } else {
            // Cleared for every entry: a directory entry leaves a directory at the name.
            std::string tempPath8 = place.clearedPath("rar.tmp");
            const QString tempPath = QFile::decodeName(tempPath8.c_str());
            processResult = RARProcessFile(archive, RAR_EXTRACT, nullptr, &tempPath8[0]);
            if (searchStopRequested())
                break;  // the extraction may have been cut short: nothing to report or search
            if (processResult == ERAR_SUCCESS && !(header->Flags & RHDF_DIRECTORY))
                grepFile(options, tempPath, hits, archiveHitName(archivePath, entryName));
        }
        if (processResult != ERAR_SUCCESS) {
            reportRarError(options->diagnostics, processResult, archivePath, 2);
            break;
        }
    }
    reportRarError(options->diagnostics, readResult, archivePath, 1);
    RARCloseArchive(archive);
}
