#pragma once

#include <QByteArray>
#include <QString>

// The ZIP container of an Office Open XML, OpenDocument or EPUB file, read with minizip.
// One part is open at a time; parts are named by their path inside the package.
class ZipPackage
{
public:
    explicit ZipPackage(const QString &path);
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    bool isOpen() const { return zip_ != nullptr; }
    bool contains(const QString &part);

    // Opens `part` for reading (closing the part open before); false when it is absent or
    // cannot be read.
    bool openPart(const QString &part);
    // Reads up to `size` bytes of the open part: the count, 0 at its end, negative on damage.
    int readPart(char *buffer, int size);
    // Closes the open part: false when the part that was read to its end fails its check sum.
    bool closePart();

    // The whole of a small part (a list of relationships, a manifest), at most `limit`
    // bytes; false when it is absent, damaged or larger.
    bool readSmallPart(const QString &part, QByteArray &bytes, qint64 limit = 16 << 20);

private:
    bool locate(const QString &part);

    void *zip_ = nullptr;
    bool partOpen_ = false;
};
