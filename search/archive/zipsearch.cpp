#include "archive/zipsearch.h"

#include "archive/archiveentries.h"
#include "archive/entryhold.h"
#include "archive/extractionfile.h"
#include "archive/extractionplace.h"
#include "archive/nestedentry.h"
#include "archive/packedsearch.h"
#include "archive/regularfile.h"
#include "archive/zipfilelayer.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"
#include "content/systemcodec.h"

#include <QTextCodec>

#include <unzip.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int copyBufferSize = 8192;
constexpr int nameBufferSize = 256;
// How many copied pieces pass between two looks at the stop request (2 MB).
constexpr int stopCheckInterval = 256;
constexpr uLong utf8NameFlag = 1u << 11;

// 8-bit names as the rest of the program hands them over; only a regular file is opened, and
// without blocking: the ".zip" retry names a path nobody has looked at.
unzFile openZip(const QByteArray &path)
{
    zlib_filefunc64_def files;
    fillCachedZipFileLayer(files);
    return unzOpen2_64(path.constData(), &files);
}

// The entry's name as stored: UTF-8 when the entry says so, otherwise the system code page.
QString decodeEntryName(const QByteArray &raw, uLong flags)
{
    if (flags & utf8NameFlag)
        return QString::fromUtf8(raw);
    return systemCodec()->toUnicode(raw);
}

// Reads the current entry's information and its whole name, however long.
int readEntryInfo(unzFile zip, unz_file_info64 &info, QByteArray &name)
{
    char buffer[nameBufferSize];
    int err = unzGetCurrentFileInfo64(zip, &info, buffer, sizeof buffer, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK)
        return err;
    if (info.size_filename < sizeof buffer) {
        name = QByteArray(buffer, int(strnlen(buffer, info.size_filename)));
        return UNZ_OK;
    }
    std::vector<char> whole(info.size_filename + 1);
    err = unzGetCurrentFileInfo64(zip, &info, whole.data(), uLong(whole.size()), nullptr, 0, nullptr, 0);
    if (err == UNZ_OK)
        name = QByteArray(whole.data(), int(strnlen(whole.data(), info.size_filename)));
    return err;
}

// Where the pieces of an entry go; false when a piece could not be written (copying stops).
using PieceSink = std::function<bool(const char *data, size_t size)>;

// Reads the current entry piece by piece into `put`. An entry of which nothing could be read is
// NotWritten, so that nothing an earlier entry left behind is searched under this entry's name;
// a damaged one is kept as far as it was read.
EntryExtraction copyCurrentEntry(unzFile zip, char *buffer, const TSearchOptions *options, int64_t compressedSize,
                                 const PieceSink &put)
{
    const DiagnosticSink &diagnostics = options->diagnostics;
    qint64 copied = 0;
    bool readFailed = false;
    for (int pieces = 1;; ++pieces) {
        const int n = unzReadCurrentFile(zip, buffer, copyBufferSize);
        if (n == 0)
            break;
        if (n < 0) {
            reportDiagnostic(diagnostics, "error %d with zipfile in unzReadCurrentFile\n", n);
            readFailed = true;
            break;
        }
        if (!put(buffer, size_t(n)))
            break;   // the sink's owner reports it when it closes the file
        copied += n;
        if (options->archiveLimits.exceeded(copied, compressedSize)) {
            reportDiagnostic(diagnostics, "an entry expands past the limit and is left\n");
            return EntryExtraction::NotWritten;
        }
        if (pieces % stopCheckInterval == 0 && searchStopRequested())
            return EntryExtraction::Stopped;
    }
    return readFailed && copied == 0 ? EntryExtraction::NotWritten : EntryExtraction::Written;
}

// The current entry copied to a file of its own at `path` (an archive or document inside).
EntryExtraction extractCurrentEntry(unzFile zip, const std::string &path, char *buffer, const TSearchOptions *options,
                                    int64_t compressedSize)
{
    ExtractionFile file;
    if (path.empty() || !file.open(path))
        return EntryExtraction::NotWritten;
    const EntryExtraction extraction = copyCurrentEntry(
        zip, buffer, options, compressedSize, [&file](const char *data, size_t size) { return file.write(data, size); });
    if (extraction != EntryExtraction::Written) {
        file.abandon();
        return extraction;
    }
    if (!file.close())
        reportDiagnostic(options->diagnostics, "error in writing extracted file\n");
    return EntryExtraction::Written;
}

// The current entry read for a content search into `hold`.
EntryExtraction holdCurrentEntry(unzFile zip, EntryHold &hold, char *buffer, const TSearchOptions *options,
                                 const unz_file_info64 &info)
{
    hold.start(int64_t(info.uncompressed_size));
    const EntryExtraction extraction = copyCurrentEntry(
        zip, buffer, options, int64_t(info.compressed_size), [&hold](const char *data, size_t size) { return hold.put(data, size); });
    if (extraction != EntryExtraction::Written) {
        hold.abandon();
        return extraction;
    }
    return hold.finish(options->diagnostics) ? EntryExtraction::Written : EntryExtraction::NotWritten;
}

// minizip does not open an archive whose end record is its first byte: one without entries.
// Such an archive is no error; it just holds nothing.
bool isEmptyZipArchive(const QByteArray &path)
{
    int64_t size = 0;
    const int fd = openRegularFile(path.constData(), size);
    if (fd < 0)
        return false;
    char bytes[22];
    const bool whole = readRegularFile(fd, bytes, sizeof bytes) == int64_t(sizeof bytes);
    closeRegularFile(fd);
    const QByteArray end(bytes, sizeof bytes);
    if (!whole || !end.startsWith(QByteArray("PK\x05\x06", 4)))
        return false;
    const auto le16 = [&end](int at) { return int(uchar(end[at])) | int(uchar(end[at + 1])) << 8; };
    const bool noEntries = le16(8) == 0 && le16(10) == 0;
    return noEntries && size == 22 + le16(20);
}

} // namespace

int searchZipArchive(const QByteArray &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    unzFile zip = openZip(archivePath);
    if (!zip && isEmptyZipArchive(archivePath))
        return 0;
    if (!zip)
        zip = openZip(archivePath + ".zip");
    if (!zip) {
        reportDiagnostic(options->diagnostics, "Cannot open %s or %s.zip\n", archivePath.constData(),
                         archivePath.constData());
        return 1;
    }
    const int result = searchZipEntries(archivePath, zip, hits, options);
    unzClose(zip);
    return result;
}

int searchZipEntries(const QByteArray &archivePath, void *handle, QList<TFileInfo> &hits,
                     const TSearchOptions *options)
{
    unzFile zip = handle;
    char *copyBuffer = static_cast<char *>(malloc(copyBufferSize));
    if (!copyBuffer) {
        // Not the end of the process here: the archive is given up, as any other that fails.
        reportDiagnostic(options->diagnostics, "Error allocating memory\n");
        return 0;
    }
    const std::unique_ptr<char, decltype(&free)> copyBufferOwner(copyBuffer, &free);

    unz_global_info64 global;
    std::memset(&global, 0, sizeof global);
    int err = unzGetGlobalInfo64(zip, &global);
    if (err != UNZ_OK)
        reportDiagnostic(options->diagnostics, "error %d with zipfile in unzGetGlobalInfo \n", err);

    const bool contentSearch = !options->grepText.isEmpty();
    std::unique_ptr<ExtractionPlace> ownPlace;
    ExtractionPlace &place = extractionPlaceFor(options, ownPlace);
    EntryHold hold(place, "zip.tmp");

    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        if (searchStopRequested())
            break;
        unz_file_info64 info;
        QByteArray rawName;
        err = readEntryInfo(zip, info, rawName);
        if (err != UNZ_OK) {
            reportDiagnostic(options->diagnostics, "error %d with zipfile in unzGetCurrentFileInfo\n", err);
            break;
        }
        err = unzOpenCurrentFilePassword(zip, nullptr);
        if (err != UNZ_OK)
            reportDiagnostic(options->diagnostics, "error %d with zipfile in unzOpenCurrentFilePassword\n", err);

        const QString entryName = decodeEntryName(rawName, info.flag);
        const NestedKind nested = nestedKindOf(options, entryName, 1);
        if (nested != NestedKind::None) {
            // An archive or a document inside: opened, its hits named after this entry.
            if (!contentSearch && matchEntryName(options, entryName))
                hits.append(TFileInfo{archiveHitName(archivePath, entryName), 0, QString()});
            const EntryWriter write = [&](const std::string &path) {
                return extractCurrentEntry(zip, path, copyBuffer, options, int64_t(info.compressed_size));
            };
            const QString hitName = archiveHitName(archivePath, entryName);
            if (searchHeldEntry(nested, entryName, hitName, 1, write, hits, options, place) == EntryExtraction::Stopped)
                break;
        } else if (matchEntryName(options, entryName)) {
            if (!contentSearch) {
                hits.append(TFileInfo{archiveHitName(archivePath, entryName), 0, QString()});
            } else if (!entryName.endsWith(QLatin1Char('/'))) {
                const EntryExtraction extraction = holdCurrentEntry(zip, hold, copyBuffer, options, info);
                if (extraction == EntryExtraction::Stopped)
                    break;
                if (extraction == EntryExtraction::Written)
                    hold.search(options, hits, archiveHitName(archivePath, entryName));
            }
        }

        if (i + 1 < global.number_entry) {
            err = unzGoToNextFile(zip);
            if (err != UNZ_OK) {
                reportDiagnostic(options->diagnostics, "error %d with zipfile in unzGoToNextFile\n", err);
                break;
            }
        }
    }
    return 0;
}
