#include "completionguard.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

void CompletionGuard::install(QCompleter *completer)
{
    // Qt's own replay of the press, where a platform has it, would come on top of ours.
    completer->popup()->setAttribute(Qt::WA_NoMouseReplay);
    // Filters run newest first, so this one sees the events before the completer does.
    completer->popup()->installEventFilter(new CompletionGuard(completer));
}

CompletionGuard::CompletionGuard(QCompleter *completer)
    : QObject(completer)
    , completer(completer)
{
}

bool CompletionGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched != completer->popup())
        return passReleaseOn(static_cast<QMouseEvent *>(event));
    QAbstractItemView *popup = completer->popup();
    if (watched != popup || !popup->isVisible())
        return false;
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || popup->currentIndex().isValid() || !completer->widget())
            return false;
        popup->hide();
        // Sent to the field, the key travels up to whoever handles Return there.
        QKeyEvent again(key->type(), key->key(), key->modifiers(), key->text());
        QApplication::sendEvent(completer->widget(), &again);
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        auto *press = static_cast<QMouseEvent *>(event);
        if (popup->rect().contains(popup->mapFromGlobal(press->globalPosition().toPoint())))
            return false;
        popup->hide();
        passPressOn(press);
        return true;
    }
    return false;
}

// The press goes to the widget under it. Qt drops the release that follows a press which
// closed a list, so the guard watches for it and hands it to the same widget.
void CompletionGuard::passPressOn(const QMouseEvent *press)
{
    pressed = QApplication::widgetAt(press->globalPosition().toPoint());
    if (!pressed)
        return;
    QMouseEvent again(QEvent::MouseButtonPress, pressed->mapFromGlobal(press->globalPosition()),
                      press->globalPosition(), press->button(), press->buttons(), press->modifiers());
    QApplication::sendEvent(pressed, &again);
    if (pressed)
        qApp->installEventFilter(this);
}

bool CompletionGuard::passReleaseOn(const QMouseEvent *release)
{
    qApp->removeEventFilter(this);
    QPointer<QWidget> target = pressed;
    pressed = nullptr;
    if (!target)
        return false;
    QMouseEvent again(QEvent::MouseButtonRelease, target->mapFromGlobal(release->globalPosition()),
                      release->globalPosition(), release->button(), release->buttons(),
                      release->modifiers());
    QApplication::sendEvent(target, &again);
    return true;
}
