#ifndef KEYCONFIGSET_H
#define KEYCONFIGSET_H

#include "mapping/xmlparser.h"

#include <QList>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QScrollArea;
class QVBoxLayout;
QT_END_NAMESPACE

class KeyConfig;

// The content of the Physical Keyboard tab: a scrolling stack of key combination
// editors with an "Add Key Combination" button below it. It creates and deletes the
// editors and joins their parts into the whole key mapping document.
class KeyConfigSet : public QWidget
{
    Q_OBJECT

public:
    // One empty combination, for a first start without a key mapping file.
    explicit KeyConfigSet(QWidget *parent = nullptr, const char *name = nullptr);
    // One editor per parsed combination, in their order; none for an empty list.
    explicit KeyConfigSet(const QList<XmlParser::KeyConfig> &list, QWidget *parent = nullptr,
                          const char *name = nullptr);

    void add(const QString &replacement, const QList<XmlParser::Key> &keys);
    // Takes the editor (a child of container) into the list, just above the stretch.
    void add(KeyConfig *editor);
    QString xml() const;

protected Q_SLOTS:
    void add();
    void del(KeyConfig *editor);
    void forceRepaint();

protected:
    void setup();

private:
    friend class KeyConfigSetTest;

    QWidget *container = nullptr;
    QVBoxLayout *containerLayout = nullptr; // the editors, then a stretch
    QList<KeyConfig *> configs; // in screen order; not owning
    QScrollArea *scrollView = nullptr;

    bool m_repaintPending = false; // a forceRepaint() is queued

    // Parsed combinations whose editors are not built yet: a long list shows its first
    // editors at once and builds the rest from the event loop, a batch at a time.
    void build(qsizetype count);
    QList<XmlParser::KeyConfig> m_unbuilt;
    bool m_showWithList = false; // editors are shown when the list is, not one by one
};

#endif // KEYCONFIGSET_H
