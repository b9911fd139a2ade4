#include "archive/packedsearch.h"

#include "archive/archiveentries.h"
#include "archive/entryhold.h"
#include "archive/extractionfile.h"
#include "archive/extractionplace.h"
#include "archive/gzipinput.h"
#include "archive/libarchivecalls.h"
#include "archive/nestedentry.h"
#include "archive/regularfile.h"
#include "archive/utf8localescope.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr size_t inputBlockSize = 64 * 1024;
// How many bytes of an entry pass between two looks at the stop request.
constexpr int64_t stopCheckBytes = int64_t(2) << 20;

// The archive file, read through our own calls: only a regular file is opened, and a stop
// request ends even a read that libarchive makes on its own (skipping, a solid block).
// A gzip file comes to libarchive inflated already (gzipinput.h): libarchive then reads it as
// uncompressed data and cannot skip or seek in it.
struct Input
{
    int fd = -1;
    std::vector<char> block = std::vector<char>(inputBlockSize);
    std::unique_ptr<GzipInput> gzip;
};

la_ssize_t readInput(struct archive *reader, void *data, const void **block)
{
    auto *input = static_cast<Input *>(data);
    if (searchStopRequested()) {
        la::archive_set_error(reader, ECANCELED, "stopped");
        return -1;
    }
    *block = input->block.data();
    if (input->gzip) {
        const int64_t n = input->gzip->read(input->block.data(), input->block.size());
        if (n < 0)
            la::archive_set_error(reader, EINVAL, "%s", input->gzip->error().c_str());
        return la_ssize_t(n);
    }
    const int64_t n = readRegularFile(input->fd, input->block.data(), input->block.size());
    if (n < 0)
        la::archive_set_error(reader, errno, "read error");
    return la_ssize_t(n);
}

la_int64_t skipInput(struct archive *, void *data, la_int64_t request)
{
    if (static_cast<Input *>(data)->gzip)
        return 0;   // libarchive reads through instead
    const int fd = static_cast<Input *>(data)->fd;
    const int64_t from = regularFileOffset(fd);
    const int64_t to = from < 0 ? -1 : skipInRegularFile(fd, request);
    return to < 0 ? 0 : to - from;
}

la_int64_t seekInput(struct archive *, void *data, la_int64_t offset, int whence)
{
    return seekRegularFile(static_cast<Input *>(data)->fd, offset, whence);
}

QString storedNameOf(struct archive_entry *entry)
{
    if (const char *utf8 = la::archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const wchar_t *wide = la::archive_entry_pathname_w(entry))
        return QString::fromWCharArray(wide);
    if (const char *raw = la::archive_entry_pathname(entry))
        return QFile::decodeName(raw);
    return QString();
}

// The entry's name without the "./" that "tar -C dir ." puts before every name.
QString entryNameOf(struct archive_entry *entry)
{
    QString name = storedNameOf(entry);
    while (name.startsWith(QLatin1String("./")) && name.size() > 2)
        name.remove(0, 2);
    return name;
}

class PackedReader
{
public:
    PackedReader(const PackedArchive &archive, QList<TFileInfo> &hits, const TSearchOptions *options)
        : archive_(archive), hits_(hits), options_(options)
        , diagnosticName_(archive.depth == 1 ? archive.path : archive.hitPrefix.toUtf8())
    {
    }
    ~PackedReader()
    {
        if (reader_)
            la::archive_read_free(reader_);
        if (input_.fd >= 0)
            closeRegularFile(input_.fd);
    }
    PackedReader(const PackedReader &) = delete;
    PackedReader &operator=(const PackedReader &) = delete;

    // `singleEntry`: the name of the one entry of a compressed file; empty for an archive.
    void search(const QString &singleEntry);

private:
    bool open(bool compressedFile);
    // Reads what is left of the current entry without keeping it; false when the archive
    // cannot go on (stopped, damaged, an entry past the limits).
    bool skipRest();
    EntryExtraction extract(const std::string &path);
    // Reads the entry for a content search into `hold` (`statedSize`: -1 when it does not say).
    EntryExtraction readEntry(int64_t statedSize, EntryHold &hold);
    // One pass over the entry's data blocks, each given to `put` (when set), holes as zeros.
    using DataSink = std::function<void(const void *data, size_t size)>;
    enum class Pass { Done, Stopped, PastLimits, Failed };
    Pass readData(const DataSink &put);
    void reportError(const char *what);
    // Whether the file is compressed: inflated here, or through one of libarchive's filters.
    bool compressed() const { return input_.gzip || la::archive_filter_count(reader_) > 1; }
    // Of the archive file, for the limit on how far an entry may expand.
    int64_t compressedBytesRead() const
    {
        return input_.gzip ? input_.gzip->compressedBytesRead() : la::archive_filter_bytes(reader_, -1);
    }

    const PackedArchive &archive_;
    QList<TFileInfo> &hits_;
    const TSearchOptions *options_;
    const QByteArray diagnosticName_;
    Input input_;
    struct archive *reader_ = nullptr;
    bool broken_ = false;   // a fatal error or an entry past the limits: the archive ends
};

bool PackedReader::open(bool compressedFile)
{
    int64_t size = 0;
    input_.fd = openRegularFile(archive_.path.constData(), size);
    reader_ = la::archive_read_new();
    if (input_.fd < 0 || !reader_) {
        reportDiagnostic(options_->diagnostics, "Cannot open %s\n", diagnosticName_.constData());
        return false;
    }
    // The filters are built in: none of them starts an outside program.
    la::archive_read_support_filter_gzip(reader_);
    la::archive_read_support_filter_bzip2(reader_);
    la::archive_read_support_filter_xz(reader_);
    la::archive_read_support_filter_lzma(reader_);
    la::archive_read_support_filter_zstd(reader_);
    if (compressedFile) {
        la::archive_read_support_format_raw(reader_);
        la::archive_read_support_format_empty(reader_);   // an empty file compressed: no entry data
    } else {
        // Named one by one: "all" would take mtree too, whose entries name files on this disk.
        la::archive_read_support_format_7zip(reader_);
        la::archive_read_support_format_tar(reader_);
        la::archive_read_support_format_iso9660(reader_);
        la::archive_read_support_format_cab(reader_);
        la::archive_read_support_format_lha(reader_);
        la::archive_read_support_format_cpio(reader_);
        la::archive_read_support_format_zip_seekable(reader_);
        la::archive_read_support_format_rar(reader_);
        la::archive_read_support_format_rar5(reader_);
    }
    if (GzipInput::startsWithGzip(input_.fd))
        input_.gzip = std::make_unique<GzipInput>(input_.fd);
    else
        la::archive_read_set_seek_callback(reader_, seekInput);
    if (la::archive_read_open2(reader_, &input_, nullptr, readInput, skipInput, nullptr) != ARCHIVE_OK) {
        reportError("cannot be read");
        return false;
    }
    return true;
}

void PackedReader::reportError(const char *what)
{
    if (searchStopRequested())
        return;
    const char *detail = reader_ ? la::archive_error_string(reader_) : nullptr;
    reportDiagnostic(options_->diagnostics, "%s %s: %s\n", diagnosticName_.constData(), what,
                     detail ? detail : "unknown error");
}

PackedReader::Pass PackedReader::readData(const DataSink &put)
{
    static const char zeros[4096] = {};
    const int64_t compressedStart = compressedBytesRead();
    int64_t expanded = 0;
    int64_t sinceCheck = 0;
    for (;;) {
        const void *block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int r = la::archive_read_data_block(reader_, &block, &size, &offset);
        if (r == ARCHIVE_EOF)
            return Pass::Done;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            if (r == ARCHIVE_FATAL)
                broken_ = true;
            reportError("cannot be read");
            return searchStopRequested() ? Pass::Stopped : Pass::Failed;
        }
        // A hole of a sparse entry reads as zeros.
        const int64_t hole = offset > expanded ? offset - expanded : 0;
        const int64_t grown = hole + int64_t(size);
        if (options_->archiveLimits.exceeded(expanded + grown, compressedBytesRead() - compressedStart)) {
            broken_ = true;
            reportDiagnostic(options_->diagnostics,
                             "%s: an entry expands past the limit; the rest of the archive is left\n",
                             diagnosticName_.constData());
            return Pass::PastLimits;
        }
        if (put) {
            for (int64_t left = hole; left > 0; left -= int64_t(sizeof zeros))
                put(zeros, size_t(std::min<int64_t>(left, sizeof zeros)));
            if (size > 0)   // an empty block may come without a buffer
                put(block, size);
        }
        expanded += grown;
        sinceCheck += grown;
        if (sinceCheck >= stopCheckBytes) {
            sinceCheck = 0;
            if (searchStopRequested())
                return Pass::Stopped;
        }
    }
}

bool PackedReader::skipRest()
{
    // Uncompressed tar, cpio and ISO skip by seeking; anything compressed is read through, so
    // that a stop or an entry past the limits is seen on the way.
    const int format = la::archive_format(reader_) & ARCHIVE_FORMAT_BASE_MASK;
    const bool seeks = !compressed()
        && (format == ARCHIVE_FORMAT_TAR || format == ARCHIVE_FORMAT_CPIO || format == ARCHIVE_FORMAT_ISO9660);
    if (seeks)
        return true;   // the next header read moves past the data
    const Pass pass = readData(DataSink());
    return pass == Pass::Done || (pass == Pass::Failed && !broken_);
}

EntryExtraction PackedReader::extract(const std::string &path)
{
    ExtractionFile file;
    if (path.empty() || !file.open(path))
        return EntryExtraction::NotWritten;
    const Pass pass = readData([&file](const void *data, size_t size) { file.write(data, size); });
    if (pass == Pass::Stopped) {
        file.abandon();
        return EntryExtraction::Stopped;
    }
    if (pass == Pass::PastLimits) {
        file.abandon();
        return EntryExtraction::NotWritten;
    }
    if (!file.close())
        reportDiagnostic(options_->diagnostics, "error in writing extracted file\n");
    // A damaged entry is searched as far as it could be read.
    return EntryExtraction::Written;
}

EntryExtraction PackedReader::readEntry(int64_t statedSize, EntryHold &hold)
{
    hold.start(statedSize);
    const Pass pass = readData([&hold](const void *data, size_t size) { hold.put(data, size); });
    if (pass == Pass::Stopped || pass == Pass::PastLimits) {
        hold.abandon();
        return pass == Pass::Stopped ? EntryExtraction::Stopped : EntryExtraction::NotWritten;
    }
    return hold.finish(options_->diagnostics) ? EntryExtraction::Written : EntryExtraction::NotWritten;
}

void PackedReader::search(const QString &singleEntry)
{
    Utf8LocaleScope utf8;
    if (!open(!singleEntry.isEmpty()))
        return;
    const bool contentSearch = !options_->grepText.isEmpty();
    std::unique_ptr<ExtractionPlace> ownPlace;
    ExtractionPlace &place = extractionPlaceFor(options_, ownPlace);
    EntryHold hold(place, "archive.tmp");
    bool encryptedReported = false;

    while (!broken_ && !searchStopRequested()) {
        struct archive_entry *entry = nullptr;
        const int r = la::archive_read_next_header(reader_, &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            reportError("is damaged");
            break;
        }
        if (!singleEntry.isEmpty() && !compressed()) {
            reportDiagnostic(options_->diagnostics, "%s is not compressed\n", diagnosticName_.constData());
            break;
        }
        const QString entryName = singleEntry.isEmpty() ? entryNameOf(entry) : singleEntry;
        const QString hitName = archive_.hitPrefix + QDir::separator() + QDir::toNativeSeparators(entryName);
        const bool regular = la::archive_entry_filetype(entry) == AE_IFREG;
        const bool encrypted = la::archive_entry_is_data_encrypted(entry) > 0;
        const bool nameMatches = matchEntryName(options_, entryName);
        if (!contentSearch && nameMatches)
            hits_.append(TFileInfo{hitName, 0, QString()});

        const NestedKind nested = regular && !encrypted ? nestedKindOf(options_, entryName, archive_.depth)
                                                        : NestedKind::None;
        EntryExtraction extraction = EntryExtraction::NotWritten;
        bool dataRead = false;
        if (nested != NestedKind::None) {
            extraction = searchHeldEntry(nested, entryName, hitName, archive_.depth,
                                         [this](const std::string &path) { return extract(path); }, hits_,
                                         options_, place);
            dataRead = true;
        } else if (contentSearch && nameMatches && regular) {
            if (encrypted) {
                if (!encryptedReported)
                    reportDiagnostic(options_->diagnostics, "%s: encrypted entries are not searched\n",
                                     diagnosticName_.constData());
                encryptedReported = true;
                dataRead = true;   // not read: the reader passes over it without a second complaint
            } else {
                const int64_t statedSize = la::archive_entry_size_is_set(entry) ? la::archive_entry_size(entry) : -1;
                extraction = readEntry(statedSize, hold);
                dataRead = true;
                if (extraction == EntryExtraction::Written)
                    hold.search(options_, hits_, hitName);
            }
        }
        if (extraction == EntryExtraction::Stopped || !singleEntry.isEmpty())
            break;
        if (!dataRead && !skipRest())
            break;
    }
}

} // namespace

void searchPackedArchive(const PackedArchive &archive, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    PackedReader(archive, hits, options).search(QString());
}

void searchCompressedFile(const PackedArchive &archive, const QString &entryName, QList<TFileInfo> &hits,
                          const TSearchOptions *options)
{
    const QString name = entryName.isEmpty() ? QStringLiteral("-") : entryName;
    // The one entry's name is the file's own: a name search need not read the file, unless
    // the entry is an archive to open in turn.
    if (options->grepText.isEmpty() && nestedKindOf(options, name, archive.depth) == NestedKind::None) {
        if (matchEntryName(options, name))
            hits.append(TFileInfo{archive.hitPrefix + QDir::separator() + name, 0, QString()});
        return;
    }
    PackedReader(archive, hits, options).search(name);
}

void searchInnerArchive(ArchiveKind kind, const QByteArray &openPath, const QString &hitPrefix,
                        const QString &fileName, int depth, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    const PackedArchive archive{openPath, hitPrefix, depth};
    if (kind == ArchiveKind::Compressed)
        searchCompressedFile(archive, compressedEntryName(fileName), hits, options);
    else if (kind != ArchiveKind::None)
        searchPackedArchive(archive, hits, options);
}

EntryExtraction searchHeldEntry(NestedKind kind, const QString &entryName, const QString &hitName, int depth,
                                const EntryWriter &write, QList<TFileInfo> &hits, const TSearchOptions *options,
                                ExtractionPlace &place)
{
    const QString baseName = entryName.mid(entryName.lastIndexOf(QLatin1Char('/')) + 1);
    const InnerArchiveOpener open = [&](const QByteArray &path) {
        searchInnerArchive(archiveKindOf(baseName), path, hitName, baseName, depth + 1, hits, options);
    };
    return searchNestedEntry(kind, entryName, hitName, depth, write, open, hits, options, place);
}
