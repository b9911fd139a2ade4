#include "messageboxes.h"

namespace MessageBoxes {

namespace {
Answerer &currentAnswerer()
{
    static Answerer answerer;
    return answerer;
}
} // namespace

void setAnswerer(Answerer answerer)
{
    currentAnswerer() = std::move(answerer);
}

QMessageBox::StandardButton show(const Request &request)
{
    if (currentAnswerer())
        return currentAnswerer()(request);
    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
    box.setDefaultButton(request.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void warning(QWidget *parent, const QString &title, const QString &text)
{
    show(Request{parent, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::NoButton});
}

QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton)
{
    return show(Request{parent, QMessageBox::Question, title, text, buttons, defaultButton});
}

void about(QWidget *parent, const QString &title, const QString &text)
{
    if (currentAnswerer()) {
        currentAnswerer()(Request{parent, QMessageBox::Information, title, text, QMessageBox::Ok,
                                  QMessageBox::NoButton});
        return;
    }
    QMessageBox::about(parent, title, text);
}

} // namespace MessageBoxes
