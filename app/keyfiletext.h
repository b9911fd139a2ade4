#pragma once

#include <QString>
#include <QStringList>

// The text of a key file (desktop entry, service menu, file-manager action), changed one key
// at a time. Lines that are not set keep their place and their bytes, so whatever a user
// added by hand survives a change of ours.
class KeyFileText
{
public:
    explicit KeyFileText(const QString &text = QString());

    // Sets `key` in `group` to `value` (given as it stands in the file, escapes included);
    // adds the key, and the group, when missing. Returns whether the text changed.
    bool setValue(const QString &group, const QString &key, const QString &value);

    // The value as it stands in the file; null when the key is missing.
    QString value(const QString &group, const QString &key) const;

    // The whole text, ending with a line end.
    QString text() const;

private:
    struct GroupRange
    {
        int header = -1; // line of "[group]", -1 when missing
        int end = -1;    // one past the group's last line
    };
    GroupRange findGroup(const QString &group) const;
    int findKey(const GroupRange &range, const QString &key) const;

    QStringList lines_;
};
