#ifndef ANNOUNCER_H
#define ANNOUNCER_H

#include <QStringList>
#include <QWidget>

// Has a screen reader say a short text without moving the focus: what a key press
// changed on the focused widget, or a message that appeared elsewhere in the window.
// It is an empty widget of the window that assistive technology sees as a notification;
// each announcement names it and shows it anew, which a screen reader speaks. (A name or
// description change alone is not spoken by every screen reader.)
class Announcer : public QWidget
{
    Q_OBJECT

public:
    // Says text through the announcer of widget's window, made when first needed. The
    // texts of one turn of the event loop are said together, in their order.
    static void announce(QWidget *widget, const QString &text);
    // Makes the announcer of widget's window now, so that the window's widgets stay the
    // same while it is used; returns it.
    static Announcer *of(QWidget *widget);
    // The texts said last, together, as the screen reader was given them.
    QString lastText() const { return m_lastText; }

private:
    explicit Announcer(QWidget *window);
    void say();

    QStringList m_pending;
    QString m_lastText;
};

#endif // ANNOUNCER_H
