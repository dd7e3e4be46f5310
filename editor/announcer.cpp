#include "editor/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>

namespace {

QAccessibleInterface *notificationInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("Announcer") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    return nullptr;
}

} // namespace

Announcer::Announcer(QWidget *window)
    : QWidget(window)
{
    static const bool installed = [] {
        QAccessible::installFactory(notificationInterface);
        return true;
    }();
    Q_UNUSED(installed);
    // Takes no room, no click and no focus; only assistive technology finds it.
    setGeometry(0, 0, 0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void Announcer::announce(QWidget *widget, const QString &text)
{
    if (!widget || text.isEmpty())
        return;
    Announcer *announcer = of(widget);
    if (announcer->m_pending.isEmpty())
        QTimer::singleShot(0, announcer, &Announcer::say);
    announcer->m_pending.append(text);
}

Announcer *Announcer::of(QWidget *widget)
{
    QWidget *window = widget->window();
    auto *announcer = window->findChild<Announcer *>(QString(), Qt::FindDirectChildrenOnly);
    return announcer ? announcer : new Announcer(window);
}

// Once per turn of the event loop: a screen reader reads the name when it hears of the
// showing, so texts named one after another in one turn would all be heard as the last.
void Announcer::say()
{
    QString text;
    for (const QString &part : std::as_const(m_pending)) {
        if (!text.isEmpty())
            text += text.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ");
        text += part;
    }
    m_pending.clear();
    m_lastText = text;
    setAccessibleName(text);
    if (!window()->isVisible())
        return;
    hide();
    show();
}
