#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One hit: a name found on disk or in an archive, or one matching line of a file.
struct TFileInfo
{
    QString fileName;   // relative to the batch's directory
    int lineNo = 0;     // 0 for a hit on the name alone
    QString lineText;   // "" for a hit on the name alone

    bool operator==(const TFileInfo &other) const
    {
        return fileName == other.fileName && lineNo == other.lineNo && lineText == other.lineText;
    }
};
