#pragma once

#include <QWidget>

// The ring drawn over the control that has keyboard focus. The controls' style sheets give them
// their look but no visible focus; one ring that follows focus serves every control alike. It
// is two-toned, dark outside and white inside, so one of the two stands out on any background
// of the application (at least 4.5:1).
class FocusRing : public QWidget
{
    Q_OBJECT

public:
    // From now on the widget with focus carries the ring (once per application).
    static void followFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    explicit FocusRing(QWidget* target);
    static void moveTo(QWidget* target);
};
