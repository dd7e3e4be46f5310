#ifndef KEYCONFIGSET_H
#define KEYCONFIGSET_H

#include "editor/keyconfig.h"
#include "mapping/xmlparser.h"

#include <QHash>
#include <QList>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QShortcut;
class QTimer;
class QVBoxLayout;
QT_END_NAMESPACE

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

    // Puts the combination deleted last back at its place, while the undo bar offers it.
    void undoDelete();

protected Q_SLOTS:
    void add();
    void del(KeyConfig *editor);
    void forceRepaint();

protected:
    void setup();
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class KeyConfigSetTest;

    QWidget *container = nullptr;
    QVBoxLayout *containerLayout = nullptr; // the editors, then a stretch
    QList<KeyConfig *> configs; // in screen order; not owning
    QScrollArea *scrollView = nullptr;

    bool m_repaintPending = false; // a forceRepaint() is queued

    // Parsed combinations whose editors are not built yet: a long list shows its first
    // editors at once and builds the rest from the event loop, a batch at a time. They
    // stand below the editors built so far and above those added meanwhile
    // (m_addedBelow), so an editor's number counts them when it stands below them.
    void build(qsizetype count);
    QList<XmlParser::KeyConfig> m_unbuilt;
    qsizetype m_unbuiltTaken = 0; // how many were taken from the front of m_unbuilt
    qsizetype m_addedBelow = 0; // the editors at the end of configs that stand below them
    bool m_showWithList = false; // editors are shown when the list is, not one by one

    qsizetype unbuiltAt() const { return configs.size() - m_addedBelow; }
    int numberAt(qsizetype index) const;
    void renumberFrom(qsizetype index);
    qsizetype insert(qsizetype place, KeyConfig *editor);

    // Combinations that would be written with the same keys ("same keys" hints), by
    // their keys: editors that are built, and places in the parsed list of those that
    // are not, ascending. Only combinations that would be written take part. Each member
    // names the first other member in list order, so the numbers of the group's first two
    // are kept: an editor built in its turn keeps the number it had unbuilt, and its hint
    // follows from them without a walk through the group.
    struct SameKeys
    {
        QList<KeyConfig *> built; // not owning
        QList<qsizetype> unbuilt;
        int first = 0; // 0: none
        int second = 0;
    };
    QHash<QString, SameKeys> m_sameKeys;
    QHash<const KeyConfig *, QString> m_keysOf; // the editors in m_sameKeys
    void updateTwins(KeyConfig *editor);
    void leaveSameKeys(KeyConfig *editor);
    void showTwins(SameKeys &group);
    void showAllTwins();

    // The bar above the list that offers to undo the last delete.
    void setupUndo(QVBoxLayout *column);
    QFrame *m_undoBar = nullptr;
    QLabel *m_undoLabel = nullptr;
    QPushButton *m_undoButton = nullptr;
    QShortcut *m_undoShortcut = nullptr;
    QTimer *m_undoTimer = nullptr;
    KeyConfig::Content m_deleted;
    qsizetype m_deletedAt = -1; // -1: nothing to undo
    void offerUndo(qsizetype index, const KeyConfig::Content &content);
    void dropUndo(QWidget *focusAfter = nullptr);
};

#endif // KEYCONFIGSET_H
