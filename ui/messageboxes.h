#pragma once

#include <QMessageBox>

#include <functional>

// Every message box of the window goes through here, so tests can answer them.
namespace MessageBoxes {

struct Request
{
    QWidget *parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

using Answerer = std::function<QMessageBox::StandardButton(const Request &)>;

// Replaces the modal box with `answerer` (tests); an empty function restores the real box.
void setAnswerer(Answerer answerer);

// A modal box; returns the button pressed (Escape or closing gives the escape button).
QMessageBox::StandardButton show(const Request &request);

// "提示"-style warning with one OK button and no default button.
void warning(QWidget *parent, const QString &title, const QString &text);

// A question; returns the button pressed.
QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton);

// Qt's about box: the application's icon, the text and one OK button.
void about(QWidget *parent, const QString &title, const QString &text);

} // namespace MessageBoxes
