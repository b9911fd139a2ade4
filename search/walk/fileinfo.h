#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

// One hit: a name found on disk or in an archive, or one matching line of a file.
struct TFileInfo
{
    TFileInfo() = default;
    TFileInfo(const QString &name, int line, const QString &text, const QByteArray &raw = QByteArray())
        : fileName(name), lineNo(line), lineText(text), rawPath(raw)
    {
    }

    QString fileName;   // relative to the batch's directory
    int lineNo = 0;     // 0 for a hit on the name alone
    QString lineText;   // "" for a hit on the name alone
    // The file's path in file-system bytes, set only when a name on the way is not valid in the
    // locale's encoding: dirName and fileName then show replacement characters and do not lead
    // back to the file. For a hit inside an archive, the archive's path.
    QByteArray rawPath;
    // Where the hit lies when not in a plain file. Not compared: it follows from the name.
    enum class Kind : unsigned char { File, Archive, Document };
    Kind kind = Kind::File;

    bool operator==(const TFileInfo &other) const
    {
        return fileName == other.fileName && lineNo == other.lineNo && lineText == other.lineText
               && rawPath == other.rawPath;
    }
};
