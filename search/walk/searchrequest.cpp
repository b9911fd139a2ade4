#include "walk/searchrequest.h"

#include "walk/wildcard.h"

#include <QCoreApplication>
#include <QFileInfo>

QString SearchFormError::title() const
{
    return kind == None ? QString() : QCoreApplication::translate("MainWindow", "提示");
}

QString SearchFormError::text() const
{
    switch (kind) {
    case NothingToSearch:
        return QCoreApplication::translate("MainWindow", "搜索文件请填写：文件名\n"
                                                         "搜索文件内容请填写：内容\n"
                                                         "搜索指定文件名的内容请填写：文件名+内容");
    case MissingDirectory:
        return QCoreApplication::translate("MainWindow", "目录名:%1 不存在").arg(part);
    case NotADirectory:
        return QCoreApplication::translate("MainWindow", "%1 不是文件夹").arg(part);
    case InvalidPattern:
        return QCoreApplication::translate("MainWindow", "文件名:%1 不是有效的通配符：%2").arg(part, reason);
    case None:
        break;
    }
    return QString();
}

QStringList splitNamePatterns(const QString &nameText)
{
    QStringList patterns;
    for (const QString &part : nameText.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            patterns.append(trimmed);
    }
    return patterns;
}

QStringList splitRootTexts(const QString &dirText)
{
    return QDir::toNativeSeparators(dirText.trimmed()).split(QLatin1Char(';'), Qt::KeepEmptyParts);
}

bool isContentSearch(const SearchForm &form)
{
    return !form.grepText.trimmed().isEmpty();
}

bool assembleSearchRequest(const SearchForm &form, SearchRequest &request, SearchFormError &error)
{
    error = SearchFormError();
    request = SearchRequest();

    request.namePatterns = splitNamePatterns(form.nameText);
    if (request.namePatterns.isEmpty()) {
        if (!isContentSearch(form)) {
            error.kind = SearchFormError::NothingToSearch;
            return false;
        }
        request.namePatterns = QStringList{QStringLiteral("*")};
    }
    for (const QString &pattern : qAsConst(request.namePatterns)) {
        WildcardPattern parsed;
        if (!WildcardPattern::parse(pattern, parsed, &error.reason)) {
            error.kind = SearchFormError::InvalidPattern;
            error.part = pattern;
            request = SearchRequest();
            return false;
        }
    }

    QList<QDir> roots;
    for (const QString &part : splitRootTexts(form.dirText)) {
        const QDir dir(part);
        if (!dir.exists()) {
            error.kind = QFileInfo::exists(dir.absolutePath()) ? SearchFormError::NotADirectory
                                                               : SearchFormError::MissingDirectory;
            error.part = part;
            request = SearchRequest();
            return false;
        }
        roots.append(dir);
    }
    request.roots = roots;

    // Blanks alone are no content text: the search is on names, as the window shows it.
    request.grepText = isContentSearch(form) ? form.grepText : QString();
    request.caseSensitivity = form.ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    request.recursive = form.recursive;
    request.exactName = form.exactName;
    request.deepSearch = form.deepSearch;
    return true;
}
