#include "rowdescription.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

void appendLine(QString &text, const char *label, const QString &value)
{
    if (!value.isEmpty())
        text += tr(label) + value + tr("\n");
}

} // namespace

QString describeRows(const QList<ResultRow> &rows)
{
    QString text;
    for (const ResultRow &row : rows) {
        text += tr("文件名：") + hitPath(row) + tr("\n");
        appendLine(text, "行号：", row.lineNo.trimmed());
        appendLine(text, "行内容：", row.lineText.trimmed());
        appendLine(text, "修改时间：", row.modified.trimmed());
        text += QLatin1String("\n\n");
    }
    return text;
}
