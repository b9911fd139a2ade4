#include "filemanagerentries.h"

#include "commandquoting.h"
#include "contextmenutext.h"
#include "keyfiletext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString desktopEntryGroup = QStringLiteral("Desktop Entry");
const QString dolphinActionGroup = QStringLiteral("Desktop Action quorvelDeepSearch");
const QString nemoGroup = QStringLiteral("Nemo Action");
const QString iconName = QStringLiteral("quorvel");

struct KeyFile
{
    QString path;
    QList<KeyFileValue> values;
    bool executable;
};

QList<KeyFileValue> dolphinValues(const QString &programPath)
{
    return {
        {desktopEntryGroup, QStringLiteral("Type"), QStringLiteral("Service")},
        {desktopEntryGroup, QStringLiteral("MimeType"), QStringLiteral("inode/directory;")},
        {desktopEntryGroup, QStringLiteral("Actions"), QStringLiteral("quorvelDeepSearch;")},
        // Older KDE releases look for this; newer ones read the folder alone.
        {desktopEntryGroup, QStringLiteral("X-KDE-ServiceTypes"), QStringLiteral("KonqPopupMenu/Plugin")},
        {desktopEntryGroup, QStringLiteral("X-KDE-Priority"), QStringLiteral("TopLevel")},
        {dolphinActionGroup, QStringLiteral("Name"), escapeKeyFileString(contextMenuText())},
        {dolphinActionGroup, QStringLiteral("Icon"), iconName},
        {dolphinActionGroup, QStringLiteral("Exec"), folderExecValue(programPath)},
    };
}

QList<KeyFileValue> nemoValues(const QString &exec, const QString &selection, const QString &extensions)
{
    return {
        {nemoGroup, QStringLiteral("Name"), escapeKeyFileString(contextMenuText())},
        {nemoGroup, QStringLiteral("Comment"), QStringLiteral("用朔玳搜索文件")},
        {nemoGroup, QStringLiteral("Exec"), escapeKeyFileString(exec)},
        {nemoGroup, QStringLiteral("Icon-Name"), iconName},
        {nemoGroup, QStringLiteral("Selection"), selection},
        {nemoGroup, QStringLiteral("Extensions"), extensions},
        // Nemo puts each path of "%F" and "%P" between double quotes, escaped to fit there.
        {nemoGroup, QStringLiteral("Quote"), QStringLiteral("double")},
    };
}

QList<KeyFile> keyFiles(const QString &programPath)
{
    // Nemo reads "%%" as a percent sign and "%F", "%P" and the like as its fields.
    QString program = quoteDoubleQuoted(programPath);
    program.replace(QLatin1Char('%'), QLatin1String("%%"));
    return {
        {applicationEntryPath(), applicationEntryValues(folderExecValue(programPath)), false},
        // Dolphin ignores service menus in the user's folder unless they are executable.
        {dolphinServiceMenuPath(), dolphinValues(programPath), true},
        // On a selected folder: that folder ("%F"); on the background: the open folder ("%P").
        {nemoFolderActionPath(),
         nemoValues(program + QLatin1String(" %F"), QStringLiteral("s"), QStringLiteral("dir;")),
         false},
        {nemoBackgroundActionPath(),
         nemoValues(program + QLatin1String(" %P"), QStringLiteral("none"), QStringLiteral("any;")),
         false},
    };
}

QByteArray nautilusScript(const QString &programPath)
{
    const QString program = quoteShellArgument(programPath);
    return QStringLiteral(
               "#!/bin/sh\n"
               "# Nautilus runs its scripts with the selected names as arguments, in the open folder\n"
               "# when that is a local one, and names the open folder in NAUTILUS_SCRIPT_CURRENT_URI.\n"
               "# The folder to search: the selected folder, else the open folder when it is local.\n"
               "if [ \"$#\" -gt 0 ] && [ -d \"$1\" ]; then\n"
               "    case $1 in\n"
               "        /*) exec %1 \"$1\" ;;\n"
               "        *) exec %1 \"$PWD/$1\" ;;\n"
               "    esac\n"
               "fi\n"
               "case ${NAUTILUS_SCRIPT_CURRENT_URI-} in\n"
               "    file://*) exec %1 \"$PWD\" ;;\n"
               "esac\n"
               "exec %1\n")
        .arg(program)
        .toUtf8();
}

bool saveFile(const QString &path, const QByteArray &content)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Adds the execute bits that go with the read bits, when one is missing.
void makeExecutable(const QString &path)
{
    const QFile::Permissions old = QFile::permissions(path);
    QFile::Permissions wanted = old | QFile::ExeOwner | QFile::ExeUser;
    if (old & QFile::ReadGroup)
        wanted |= QFile::ExeGroup;
    if (old & QFile::ReadOther)
        wanted |= QFile::ExeOther;
    if (wanted != old)
        QFile::setPermissions(path, wanted);
}

// The file's bytes; false when it exists but cannot be read (a folder, no right to read).
bool readExisting(const QString &path, QByteArray *content)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    *content = file.readAll();
    return true;
}

void updateKeyFile(const QString &path, const QList<KeyFileValue> &values, bool executable)
{
    QByteArray old;
    if (!readExisting(path, &old))
        return;
    KeyFileText text(QString::fromUtf8(old));
    bool changed = false;
    for (const KeyFileValue &v : values)
        changed = text.setValue(v.group, v.key, v.value) || changed;
    if (changed && !saveFile(path, text.text().toUtf8()))
        return;
    if (executable)
        makeExecutable(path);
}

void updateScript(const QString &path, const QByteArray &content)
{
    QByteArray old;
    if (!readExisting(path, &old))
        return;
    if (old != content && !saveFile(path, content))
        return;
    makeExecutable(path);
}

} // namespace

QString applicationEntryPath()
{
    return QStringLiteral("applications/quorvel.desktop");
}

QString dolphinServiceMenuPath()
{
    return QStringLiteral("kio/servicemenus/quorvel.desktop");
}

QString nemoFolderActionPath()
{
    return QStringLiteral("nemo/actions/quorvel-folder.nemo_action");
}

QString nemoBackgroundActionPath()
{
    return QStringLiteral("nemo/actions/quorvel-background.nemo_action");
}

QString nautilusScriptPath()
{
    // The script's name is the text of its menu entry; a slash would make it a folder.
    QString name = contextMenuText();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("nautilus/scripts/") + name;
}

QString folderExecValue(const QString &programPath)
{
    return escapeKeyFileString(quoteExecArgument(programPath) + QLatin1String(" %f"));
}

QList<KeyFileValue> applicationEntryValues(const QString &exec)
{
    return {
        {desktopEntryGroup, QStringLiteral("Type"), QStringLiteral("Application")},
        {desktopEntryGroup, QStringLiteral("Name"), QStringLiteral("朔玳")},
        {desktopEntryGroup, QStringLiteral("GenericName"), QStringLiteral("文件搜索")},
        {desktopEntryGroup, QStringLiteral("Comment"),
         QStringLiteral("按文件名和内容搜索文件夹及 ZIP、RAR 压缩包中的文件")},
        {desktopEntryGroup, QStringLiteral("Exec"), exec},
        {desktopEntryGroup, QStringLiteral("Icon"), iconName},
        {desktopEntryGroup, QStringLiteral("Terminal"), QStringLiteral("false")},
        {desktopEntryGroup, QStringLiteral("MimeType"), QStringLiteral("inode/directory;")},
        {desktopEntryGroup, QStringLiteral("Categories"), QStringLiteral("Utility;FileTools;")},
        {desktopEntryGroup, QStringLiteral("Keywords"),
         QStringLiteral("search;find;grep;archive;搜索;查找;")},
    };
}

void writeFileManagerEntries(const QString &dataHome, const QString &programPath)
{
    const QString base = dataHome + QLatin1Char('/');
    for (const KeyFile &file : keyFiles(programPath))
        updateKeyFile(base + file.path, file.values, file.executable);
    updateScript(base + nautilusScriptPath(), nautilusScript(programPath));
}
