#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QCompleter;
class QMouseEvent;

// A completer's list proposes; it must not take the user's next step. While the list is
// shown it holds the keyboard and the mouse: Return would only close it, and a click
// elsewhere (on the search button, say) would only close it too. This guard closes the list
// and passes the key or the click on to where it was meant to go. A Return after the user
// picked an entry with the arrow keys still takes that entry, as the completer does.
class CompletionGuard : public QObject
{
    Q_OBJECT

public:
    // Guards the list of `completer`; the guard is a child of the completer.
    static void install(QCompleter *completer);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit CompletionGuard(QCompleter *completer);
    void passPressOn(const QMouseEvent *press);
    bool passReleaseOn(const QMouseEvent *release);

    QCompleter *completer;
    QPointer<QWidget> pressed;   // took the press that closed the list; waits for its release
};
