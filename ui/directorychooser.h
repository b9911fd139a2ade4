#pragma once

#include <QString>

#include <functional>

class QWidget;

// The window's directory chooser goes through here, so tests can pick the directory.
namespace DirectoryChooser {

using Chooser = std::function<QString(QWidget *parent, const QString &caption, const QString &startDir)>;

// Replaces the modal dialog with `chooser` (tests); an empty function restores the dialog.
void setChooser(Chooser chooser);

// The standard directory dialog (directories only, links not resolved); empty when cancelled.
QString choose(QWidget *parent, const QString &caption, const QString &startDir);

} // namespace DirectoryChooser
