#pragma once

#include <QString>

#include <atomic>
#include <map>
#include <memory>
#include <string>

// Where one search extracts archive entries: "zip.tmp" and "rar.tmp" in the folder it names
// ("tmp" under the working directory when it names none). The folder must be a real folder of
// this user; a link, someone else's folder or a missing one gives way to the per-user folder.
// Each name is locked (a ".lock" file beside it) for as long as this object lives; a name that
// another search holds, or that cannot be cleared (a folder with files in it), gives way to a
// uniquely named file beside it, removed again at the end. Nothing is touched before the first
// entry is extracted.
// Each worker of a parallel search has its own place, numbered from a counter they share when
// it first extracts: number 0 has the names above, number N the same names numbered
// ("zip.N.tmp"), so a search that extracts on one worker only uses the plain names.
class ExtractionPlace
{
public:
    explicit ExtractionPlace(const QString &folder, std::shared_ptr<std::atomic<unsigned>> numbering = {});
    ~ExtractionPlace();
    ExtractionPlace(const ExtractionPlace &) = delete;
    ExtractionPlace &operator=(const ExtractionPlace &) = delete;

    // The 8-bit path for the next entry of this kind ("zip.tmp" or "rar.tmp"), with nothing
    // standing at it. Empty when no place can be found.
    std::string clearedPath(const char *fileName);

    // $XDG_DATA_HOME/quorvel/tmp (or the platform's equivalent): the window's own extraction
    // folder when its program folder cannot be written, and the fallback here.
    static QString perUserFolder();

private:
    struct Slot
    {
        std::string path;
        int lock = -1;
        bool unique = false;
    };

    const std::string &folder();
    bool useUniqueName(Slot &slot, const std::string &besides);

    QString requested_;
    std::shared_ptr<std::atomic<unsigned>> numbering_;
    unsigned number_ = 0;
    std::string folder_;
    bool folderChosen_ = false;
    std::map<std::string, Slot> slots_;
};

// Platform parts.
namespace extraction {
// A folder (not a link to one) that belongs to this user.
bool isPrivateFolder(const std::string &path);
// Makes `path` (and its parents) a folder only this user can enter; false when it is none.
bool makePrivateFolder(const std::string &path);
// Takes the lock on `path` + ".lock" without waiting: its handle, or -1 when taken or impossible.
int lockName(const std::string &path);
void unlockName(int lock);
// Creates a new file named `path` + "." + something unique; its name, or empty.
std::string makeUniqueFile(const std::string &path);
// Removes whatever stands at `path` (an empty folder too); true when nothing stands there now.
bool clearName(const std::string &path);
} // namespace extraction
