#include "archive/unrarlayer.h"

#include "archive/extractionfile.h"
#include "archive/libarchivecalls.h"
#include "archive/rarvolumenames.h"
#include "archive/rarvolumescan.h"
#include "archive/regularfile.h"
#include "archive/utf8localescope.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr size_t readBlockSize = 64 * 1024;
constexpr size_t volumeNameCapacity = 1024;
constexpr size_t passwordCapacity = 128;

std::wstring wideFromBytes(const std::string &bytes)
{
    const size_t length = std::mbstowcs(nullptr, bytes.c_str(), 0);
    if (length != size_t(-1)) {
        std::wstring wide(length, L'\0');
        std::mbstowcs(&wide[0], bytes.c_str(), length);
        return wide;
    }
    return std::wstring(bytes.begin(), bytes.end());  // not valid text: byte by byte
}

std::string bytesFromWide(const wchar_t *wide)
{
    const size_t length = std::wcstombs(nullptr, wide, 0);
    if (length != size_t(-1)) {
        std::string bytes(length, '\0');
        std::wcstombs(&bytes[0], wide, length);
        return bytes;
    }
    std::string bytes;
    for (; *wide; ++wide)
        bytes += char(*wide);
    return bytes;
}

template <typename Char, size_t N>
void copyTerminated(Char (&out)[N], const std::basic_string<Char> &text)
{
    const size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.data(), n, out);
    out[n] = Char(0);
}

bool sameEntryName(const std::string &stored, const std::string &given)
{
    if (stored.size() != given.size())
        return false;
    for (size_t i = 0; i < stored.size(); ++i) {
        const char a = stored[i] == '\\' ? '/' : stored[i];
        if (a != given[i])
            return false;
    }
    return true;
}

// The bytes of a volume set, one volume after the other, as one stream for libarchive. At the
// end of a volume that says more follow, the next one is opened by the usual naming; a missing
// volume is asked for through the callback (when asking is allowed), which may give up.
class VolumeStream
{
public:
    enum class Failure { None, VolumeMissing, ReadError };

    VolumeStream(UNRARCALLBACK callback, intptr_t userData, bool ask)
        : callback_(callback), userData_(userData), ask_(ask), buffer_(readBlockSize)
    {
    }
    ~VolumeStream() { closeCurrent(); }
    VolumeStream(const VolumeStream &) = delete;
    VolumeStream &operator=(const VolumeStream &) = delete;

    bool openFirst(const std::string &path)
    {
        int64_t size = 0;
        const int fd = openRegularFile(path.c_str(), size);
        if (fd < 0)
            return false;
        adopt(fd, size, path);
        first_ = facts_;
        return true;
    }

    const RarVolumeFacts &firstFacts() const { return first_; }
    const std::vector<std::string> &volumes() const { return volumes_; }
    const std::vector<RarFileFacts> &files() const { return files_; }
    Failure failure() const { return failure_; }

    la_ssize_t read(const void **buffer)
    {
        for (;;) {
            if (fd_ < 0)
                return 0;
            const int64_t n = readRegularFile(fd_, buffer_.data(), buffer_.size());
            if (n > 0) {
                *buffer = buffer_.data();
                return la_ssize_t(n);
            }
            if (n < 0) {
                failure_ = Failure::ReadError;
                return -1;
            }
            if (!openNext())
                return failure_ == Failure::None ? 0 : -1;
        }
    }

    // Skips within the current volume only; libarchive reads whatever is left.
    la_int64_t skip(la_int64_t request)
    {
        if (fd_ < 0 || request <= 0)
            return 0;
        const int64_t at = regularFileOffset(fd_);
        if (at < 0)
            return 0;
        const int64_t step = std::min<int64_t>(request, size_ - at);
        if (step <= 0 || skipInRegularFile(fd_, step) < 0)
            return 0;
        return step;
    }

private:
    void adopt(int fd, int64_t size, const std::string &path)
    {
        closeCurrent();
        fd_ = fd;
        size_ = size;
        path_ = path;
        facts_ = scanRarVolume(fd);
        // A later volume repeats the header of the file it continues; libarchive shows it once.
        for (RarFileFacts &file : facts_.files) {
            if (volumes_.empty() || !file.splitBefore)
                files_.push_back(file);
        }
        facts_.files.clear();
        volumes_.push_back(path);
    }

    void closeCurrent()
    {
        if (fd_ >= 0)
            closeRegularFile(fd_);
        fd_ = -1;
    }

    bool openNext()
    {
        if (!facts_.isVolume || facts_.moreVolumes == RarVolumeFacts::More::No)
            return false;
        const bool expected = facts_.expectsNextVolume();
        std::string next = nextRarVolumeName(path_, facts_.newNumbering);
        if (next.empty()) {
            if (expected)
                failure_ = Failure::VolumeMissing;
            return false;
        }
        const std::wstring proposed = wideFromBytes(next);
        wchar_t name[volumeNameCapacity];
        copyTerminated(name, proposed);
        for (;;) {
            int64_t size = 0;
            const int fd = openRegularFile(next.c_str(), size);
            if (fd >= 0) {
                adopt(fd, size, next);
                if (callback_ && callback_(UCM_CHANGEVOLUMEW, userData_, intptr_t(name), RAR_VOL_NOTIFY) == -1) {
                    closeCurrent();
                    failure_ = Failure::VolumeMissing;
                    return false;
                }
                return true;
            }
            // Without an end block nothing says a volume follows: the set ends here.
            if (!expected)
                return false;
            if (!ask_ || !callback_ || callback_(UCM_CHANGEVOLUMEW, userData_, intptr_t(name), RAR_VOL_ASK) == -1) {
                failure_ = Failure::VolumeMissing;
                return false;
            }
            name[volumeNameCapacity - 1] = L'\0';
            if (proposed != name)
                next = bytesFromWide(name);
        }
    }

    UNRARCALLBACK callback_;
    intptr_t userData_;
    bool ask_;
    int fd_ = -1;
    int64_t size_ = 0;
    std::string path_;
    RarVolumeFacts facts_;
    RarVolumeFacts first_;
    std::vector<std::string> volumes_;
    std::vector<RarFileFacts> files_;
    std::vector<char> buffer_;
    Failure failure_ = Failure::None;
};

la_ssize_t readVolumes(struct archive *a, void *client, const void **buffer)
{
    const la_ssize_t n = static_cast<VolumeStream *>(client)->read(buffer);
    if (n < 0)
        la::archive_set_error(a, EIO, "Cannot read the next volume");
    return n;
}

la_int64_t skipInVolume(struct archive *, void *client, la_int64_t request)
{
    return static_cast<VolumeStream *>(client)->skip(request);
}

struct ArchiveReader
{
    struct archive *handle = nullptr;
    ~ArchiveReader()
    {
        if (handle)
            la::archive_read_free(handle);
    }
};

bool openReader(ArchiveReader &reader, VolumeStream &stream)
{
    reader.handle = la::archive_read_new();
    if (!reader.handle)
        return false;
    la::archive_read_support_format_rar(reader.handle);
    la::archive_read_support_format_rar5(reader.handle);
    return la::archive_read_open2(reader.handle, &stream, nullptr, readVolumes, skipInVolume, nullptr) == ARCHIVE_OK;
}

std::string entryName(struct archive_entry *entry)
{
    if (const char *utf8 = la::archive_entry_pathname_utf8(entry))
        return utf8;
    if (const wchar_t *wide = la::archive_entry_pathname_w(entry))
        return bytesFromWide(wide);
    if (const char *raw = la::archive_entry_pathname(entry))
        return raw;
    return std::string();
}

std::string hardLinkTarget(struct archive_entry *entry)
{
    if (const char *utf8 = la::archive_entry_hardlink_utf8(entry))
        return utf8;
    if (const char *raw = la::archive_entry_hardlink(entry))
        return raw;
    return std::string();
}

struct RarArchive
{
    std::string arcName;
    std::wstring arcNameW;
    UNRARCALLBACK callback = nullptr;
    intptr_t userData = 0;
    std::unique_ptr<VolumeStream> stream;
    ArchiveReader reader;
    struct archive_entry *entry = nullptr;
    int pendingResult = -1;   // the first header is read by the open; handed out by the first read
    int finalResult = 0;      // once the walk has ended: its result, for every later read
    bool headerOut = false;   // a header was handed out and its entry not yet processed
    bool entryEncrypted = false;
    unsigned int entryFlags = 0;  // RHDF_* known from the volume's headers
    size_t entriesRead = 0;
    size_t factsCursor = 0;
    std::vector<char> data = std::vector<char>(readBlockSize);

    int failureResult(int fallback) const
    {
        switch (stream->failure()) {
        case VolumeStream::Failure::VolumeMissing:
            return ERAR_EOPEN;
        case VolumeStream::Failure::ReadError:
            return ERAR_EREAD;
        case VolumeStream::Failure::None:
            break;
        }
        return la::archive_errno(reader.handle) == ENOMEM ? ERAR_NO_MEMORY : fallback;
    }

    int readNextHeader()
    {
        for (int retries = 0;; ++retries) {
            const int r = la::archive_read_next_header(reader.handle, &entry);
            if (r == ARCHIVE_OK || r == ARCHIVE_WARN) {  // a warning: a name not convertible, say
                ++entriesRead;
                entryFlags = scannedFlags(entryName(entry));
                entryEncrypted = la::archive_entry_is_data_encrypted(entry) || (entryFlags & RHDF_ENCRYPTED);
                return ERAR_SUCCESS;
            }
            if (r == ARCHIVE_EOF)  // libarchive may take a volume that failed for the end
                return stream->failure() == VolumeStream::Failure::None ? ERAR_END_ARCHIVE : failureResult(ERAR_BAD_DATA);
            if (r != ARCHIVE_RETRY || retries >= 8)
                return failureResult(ERAR_BAD_DATA);
        }
    }

    // What the headers say of the entry that libarchive just read. libarchive does not flag
    // every encrypted entry (RAR5 ones) and has no word for split entries.
    unsigned int scannedFlags(const std::string &name)
    {
        const std::vector<RarFileFacts> &files = stream->files();
        for (size_t i = factsCursor; i < files.size() && i < factsCursor + 64; ++i) {
            if (sameEntryName(files[i].name, name)) {
                factsCursor = i + 1;
                return (files[i].encrypted ? RHDF_ENCRYPTED : 0u) | (files[i].splitBefore ? RHDF_SPLITBEFORE : 0u)
                       | (files[i].splitAfter ? RHDF_SPLITAFTER : 0u);
            }
        }
        return 0;
    }

    void askForPassword()
    {
        if (!callback)
            return;
        wchar_t password[passwordCapacity] = {};
        callback(UCM_NEEDPASSWORDW, userData, intptr_t(password), intptr_t(passwordCapacity));
        // This reader cannot decrypt, so whatever was given is not used.
        std::fill(std::begin(password), std::end(password), L'\0');
    }

    // Copies the current entry's data to `file` (when given), reporting each piece to the callback.
    int copyData(struct archive *from, ExtractionFile *file)
    {
        for (;;) {
            const la_ssize_t n = la::archive_read_data(from, data.data(), data.size());
            if (n == 0)
                return ERAR_SUCCESS;
            if (n < 0)
                return from == reader.handle ? failureResult(ERAR_BAD_DATA) : ERAR_BAD_DATA;
            if (file && !file->write(data.data(), size_t(n)))
                return ERAR_EWRITE;
            if (callback && callback(UCM_PROCESSDATA, userData, intptr_t(data.data()), intptr_t(n)) == -1)
                return ERAR_UNKNOWN;  // cancelled
        }
    }

    // A hard link's data is that of an earlier entry: read the set again up to it.
    int copyLinkedData(const std::string &target, ExtractionFile *file)
    {
        VolumeStream again(nullptr, 0, false);
        ArchiveReader earlier;
        if (!again.openFirst(stream->volumes().front()) || !openReader(earlier, again))
            return ERAR_EREFERENCE;
        struct archive_entry *candidate = nullptr;
        for (size_t seen = 0; seen + 1 < entriesRead; ++seen) {
            const int r = la::archive_read_next_header(earlier.handle, &candidate);
            if (r != ARCHIVE_OK && r != ARCHIVE_WARN)
                break;
            if (la::archive_entry_filetype(candidate) == AE_IFREG && hardLinkTarget(candidate).empty()
                && entryName(candidate) == target)
                return copyData(earlier.handle, file);
        }
        return ERAR_EREFERENCE;
    }

    int unpack(int operation, const char *destName)
    {
        const bool extract = operation == RAR_EXTRACT;
        if (extract && !destName)
            return ERAR_ECREATE;  // extraction into DestPath is not offered
        const auto type = la::archive_entry_filetype(entry);
        if (type == AE_IFDIR)
            return !extract || makeExtractionDirectory(destName) ? ERAR_SUCCESS : ERAR_ECREATE;
        if (entryEncrypted) {
            askForPassword();
            return ERAR_MISSING_PASSWORD;
        }
        std::unique_ptr<ExtractionFile> file;
        if (extract) {
            file = std::make_unique<ExtractionFile>();
            if (!file->open(destName))
                return ERAR_ECREATE;
        }
        int result = ERAR_SUCCESS;
        const std::string linkTarget = hardLinkTarget(entry);
        if (type == AE_IFLNK) {
            // A symbolic link leaves an empty file: it is never followed.
        } else if (!linkTarget.empty() && la::archive_entry_size(entry) == 0) {
            result = copyLinkedData(linkTarget, file.get());
        } else {
            result = copyData(reader.handle, file.get());
        }
        if (file && result == ERAR_UNKNOWN)
            file->abandon();   // cancelled by the callback: nothing reads what was written
        else if (file && !file->close() && result == ERAR_SUCCESS)
            result = ERAR_ECLOSE;
        return result;
    }
};

} // namespace

void *RAROpenArchiveEx(RAROpenArchiveDataEx *data)
{
    if (!data)
        return nullptr;
    Utf8LocaleScope utf8;
    data->OpenResult = ERAR_SUCCESS;
    data->CmtSize = 0;
    data->CmtState = 0;
    data->Flags = 0;
    try {
        auto arc = std::make_unique<RarArchive>();
        arc->arcName = data->ArcName ? std::string(data->ArcName)
                                     : (data->ArcNameW ? bytesFromWide(data->ArcNameW) : std::string());
        arc->arcNameW = data->ArcNameW ? std::wstring(data->ArcNameW) : wideFromBytes(arc->arcName);
        arc->callback = data->Callback;
        arc->userData = data->UserData;
        arc->stream = std::make_unique<VolumeStream>(data->Callback, data->UserData, true);
        if (!arc->stream->openFirst(arc->arcName)) {
            data->OpenResult = ERAR_EOPEN;
            return nullptr;
        }
        const RarVolumeFacts &facts = arc->stream->firstFacts();
        data->Flags = (facts.isVolume ? ROADF_VOLUME : 0u) | (facts.solid ? ROADF_SOLID : 0u)
                      | (facts.headersEncrypted ? ROADF_ENCHEADERS : 0u)
                      | (facts.isVolume && facts.newNumbering ? ROADF_NEWNUMBERING : 0u)
                      | (facts.isVolume && facts.firstVolume ? ROADF_FIRSTVOLUME : 0u);
        if (facts.headersEncrypted) {
            arc->askForPassword();
            data->OpenResult = ERAR_MISSING_PASSWORD;
            return nullptr;
        }
        const bool knownFormat = facts.format != RarVolumeFacts::Format::Unknown;
        if (!openReader(arc->reader, *arc->stream)) {
            data->OpenResult = knownFormat ? arc->failureResult(ERAR_BAD_DATA) : ERAR_BAD_ARCHIVE;
            return nullptr;
        }
        arc->pendingResult = arc->readNextHeader();
        if (!knownFormat && arc->pendingResult != ERAR_SUCCESS && arc->pendingResult != ERAR_END_ARCHIVE) {
            data->OpenResult = ERAR_BAD_ARCHIVE;
            return nullptr;
        }
        return arc.release();
    } catch (const std::bad_alloc &) {
        data->OpenResult = ERAR_NO_MEMORY;
        return nullptr;
    }
}

int RARCloseArchive(void *hArcData)
{
    Utf8LocaleScope utf8;
    delete static_cast<RarArchive *>(hArcData);
    return ERAR_SUCCESS;
}

int RARReadHeaderEx(void *hArcData, RARHeaderDataEx *header)
{
    auto *arc = static_cast<RarArchive *>(hArcData);
    if (!arc || !header)
        return ERAR_UNKNOWN;
    Utf8LocaleScope utf8;
    if (arc->finalResult)
        return arc->finalResult;
    int result = arc->pendingResult;
    arc->pendingResult = -1;
    try {
        if (result < 0)
            result = arc->readNextHeader();
        if (result != ERAR_SUCCESS) {
            arc->finalResult = result;
            arc->headerOut = false;
            return result;
        }
        copyTerminated(header->ArcName, arc->arcName);
        copyTerminated(header->ArcNameW, arc->arcNameW);
        const std::string name = entryName(arc->entry);
        const wchar_t *wide = la::archive_entry_pathname_w(arc->entry);
        copyTerminated(header->FileName, name);
        copyTerminated(header->FileNameW, wide ? std::wstring(wide) : wideFromBytes(name));
        header->Flags = arc->entryFlags | (la::archive_entry_filetype(arc->entry) == AE_IFDIR ? RHDF_DIRECTORY : 0u)
                        | (arc->entryEncrypted ? RHDF_ENCRYPTED : 0u);
        const uint64_t size = la::archive_entry_size_is_set(arc->entry) ? uint64_t(la::archive_entry_size(arc->entry)) : 0;
        header->UnpSize = unsigned(size & 0xffffffffu);
        header->UnpSizeHigh = unsigned(size >> 32);
        header->CmtSize = 0;
        header->CmtState = 0;
        arc->headerOut = true;
        return ERAR_SUCCESS;
    } catch (const std::bad_alloc &) {
        arc->finalResult = ERAR_NO_MEMORY;
        return ERAR_NO_MEMORY;
    }
}

int RARProcessFile(void *hArcData, int operation, char *destPath, char *destName)
{
    (void)destPath;
    auto *arc = static_cast<RarArchive *>(hArcData);
    if (!arc)
        return ERAR_UNKNOWN;
    Utf8LocaleScope utf8;
    if (!arc->headerOut)
        return arc->finalResult ? arc->finalResult : ERAR_UNKNOWN;
    arc->headerOut = false;
    try {
        switch (operation) {
        case RAR_SKIP: {
            const int r = la::archive_read_data_skip(arc->reader.handle);
            const bool skipped = (r == ARCHIVE_OK || r == ARCHIVE_WARN)
                                 && arc->stream->failure() == VolumeStream::Failure::None;
            return skipped ? ERAR_SUCCESS : arc->failureResult(ERAR_BAD_DATA);
        }
        case RAR_TEST:
        case RAR_EXTRACT:
            return arc->unpack(operation, destName);
        default:
            return ERAR_UNKNOWN;
        }
    } catch (const std::bad_alloc &) {
        return ERAR_NO_MEMORY;
    }
}
