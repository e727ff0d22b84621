#pragma once

#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>

class QLabel;
class QMovie;
class QTimer;

// The busy panel shown while a backend command runs. This object is never shown itself; the
// panel is an inner dialog owned by the parent given at construction. After 60 seconds on
// screen the panel gives up and emits operationTimedout(). Its animation runs only while shown.
class WaitingDialog : public QDialog
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    // `clock` tells the current time; tests pass one they can move.
    explicit WaitingDialog(QWidget* parent, Clock clock = Clock());

    // Shows the panel with `text` centred on `parent`, or only changes the text when the panel
    // is already up (the running 60 seconds are kept).
    void show(QWidget* parent, QString text);
    void hide();

    bool isShowing() const;
    QString text() const;
    QDialog* panel() const { return m_panel; }

    static constexpr int kTickMs = 100;
    static constexpr qint64 kLimitSeconds = 60;

signals:
    void operationTimedout();

public slots:
    void updateProgress();

private:
    QPointer<QDialog> m_panel;
    QLabel* m_animation = nullptr;
    QLabel* m_text = nullptr;
    QTimer* m_tick = nullptr;
    QDateTime m_start;
    QMovie* m_movie = nullptr;
    Clock m_now;
};
