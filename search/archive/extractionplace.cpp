#include "archive/extractionplace.h"

#include <QFile>
#include <QStandardPaths>

#include <algorithm>

ExtractionPlace::ExtractionPlace(const QString &folder, std::shared_ptr<std::atomic<unsigned>> numbering)
    : requested_(folder.isEmpty() ? QStringLiteral("tmp") : folder)
    , numbering_(std::move(numbering))
{
}

ExtractionPlace::~ExtractionPlace()
{
    for (auto &[name, slot] : slots_) {
        if (slot.unique)
            extraction::clearName(slot.path);
        extraction::unlockName(slot.lock);
    }
}

QString ExtractionPlace::perUserFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1String("/quorvel/tmp");
}

const std::string &ExtractionPlace::folder()
{
    if (folderChosen_)
        return folder_;
    folderChosen_ = true;
    const std::string requested = QFile::encodeName(requested_).toStdString();
    if (extraction::isPrivateFolder(requested)) {
        folder_ = requested;
    } else {
        const std::string fallback = QFile::encodeName(perUserFolder()).toStdString();
        if (extraction::makePrivateFolder(fallback))
            folder_ = fallback;
    }
    return folder_;
}

bool ExtractionPlace::useUniqueName(Slot &slot, const std::string &besides)
{
    if (slot.unique)
        return false;
    slot.path = extraction::makeUniqueFile(besides);
    slot.unique = !slot.path.empty();
    return slot.unique;
}

std::string ExtractionPlace::clearedPath(const char *fileName)
{
    Slot &slot = slots_[fileName];
    if (slot.path.empty()) {
        if (folder().empty())
            return std::string();
        if (numbering_) {
            number_ = numbering_->fetch_add(1);
            numbering_.reset();
        }
        std::string name = fileName;
        if (number_ > 0)
            name.insert(std::min(name.find('.'), name.size()), '.' + std::to_string(number_));
        const std::string path = folder() + '/' + name;
        slot.lock = extraction::lockName(path);
        if (slot.lock < 0 || !extraction::clearName(path))
            return useUniqueName(slot, path) && extraction::clearName(slot.path) ? slot.path : std::string();
        slot.path = path;
        return slot.path;
    }
    if (extraction::clearName(slot.path))
        return slot.path;
    // Something that cannot be removed appeared at the name (or a folder entry left files).
    const std::string besides = slot.path;
    return useUniqueName(slot, besides) && extraction::clearName(slot.path) ? slot.path : std::string();
}
