#include "keyfiletext.h"

namespace {

bool isGroupHeader(const QString &line, QString *name = nullptr)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')) || !trimmed.endsWith(QLatin1Char(']')))
        return false;
    if (name)
        *name = trimmed.mid(1, trimmed.size() - 2);
    return true;
}

bool isComment(const QString &line)
{
    return line.trimmed().startsWith(QLatin1Char('#'));
}

// Splits "key = value" (blanks around the sign do not count); false for other lines.
bool splitEntry(const QString &line, QString *key, QString *value)
{
    if (isComment(line) || isGroupHeader(line))
        return false;
    const int sign = line.indexOf(QLatin1Char('='));
    if (sign < 0)
        return false;
    *key = line.left(sign).trimmed();
    QString rest = line.mid(sign + 1);
    if (rest.endsWith(QLatin1Char('\r')))
        rest.chop(1);
    int start = 0;
    while (start < rest.size() && (rest.at(start) == QLatin1Char(' ') || rest.at(start) == QLatin1Char('\t')))
        ++start;
    *value = rest.mid(start);
    return true;
}

QString entryLine(const QString &key, const QString &value)
{
    return key + QLatin1Char('=') + value;
}

} // namespace

KeyFileText::KeyFileText(const QString &text)
{
    if (text.isEmpty())
        return;
    lines_ = text.split(QLatin1Char('\n'));
    if (lines_.last().isEmpty())
        lines_.removeLast();
}

KeyFileText::GroupRange KeyFileText::findGroup(const QString &group) const
{
    GroupRange range;
    for (int i = 0; i < lines_.size(); ++i) {
        QString name;
        if (!isGroupHeader(lines_.at(i), &name))
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (name == group)
            range.header = i;
    }
    if (range.header >= 0)
        range.end = lines_.size();
    return range;
}

int KeyFileText::findKey(const GroupRange &range, const QString &key) const
{
    for (int i = range.header + 1; i < range.end; ++i) {
        QString k, v;
        if (splitEntry(lines_.at(i), &k, &v) && k == key)
            return i;
    }
    return -1;
}

QString KeyFileText::value(const QString &group, const QString &key) const
{
    const GroupRange range = findGroup(group);
    if (range.header < 0)
        return QString();
    const int line = findKey(range, key);
    if (line < 0)
        return QString();
    QString k, v;
    splitEntry(lines_.at(line), &k, &v);
    return v.isNull() ? QStringLiteral("") : v;
}

bool KeyFileText::setValue(const QString &group, const QString &key, const QString &value)
{
    const GroupRange range = findGroup(group);
    if (range.header < 0) {
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty())
            lines_.append(QString());
        lines_.append(QLatin1Char('[') + group + QLatin1Char(']'));
        lines_.append(entryLine(key, value));
        return true;
    }
    const int line = findKey(range, key);
    if (line >= 0) {
        QString k, old;
        splitEntry(lines_.at(line), &k, &old);
        if (old == value)
            return false;
        lines_[line] = entryLine(key, value);
        return true;
    }
    // A new key goes after the group's last entry, before blank lines and the comments that
    // lead into the next group.
    int insertAt = range.header + 1;
    for (int i = range.header + 1; i < range.end; ++i) {
        const QString &l = lines_.at(i);
        if (!l.trimmed().isEmpty() && !isComment(l))
            insertAt = i + 1;
    }
    lines_.insert(insertAt, entryLine(key, value));
    return true;
}

QString KeyFileText::text() const
{
    return lines_.isEmpty() ? QString() : lines_.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
