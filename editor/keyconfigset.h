#ifndef KEYCONFIGSET_H
#define KEYCONFIGSET_H

#include "editor/combinationfilter.h"
#include "editor/keyconfig.h"
#include "mapping/xmlparser.h"

#include <QHash>
#include <QList>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QShortcut;
class QTimer;
class QVBoxLayout;
QT_END_NAMESPACE

class InputButton;

// The content of the Physical Keyboard tab: a scrolling stack of key combination
// editors with an "Add Key Combination" button below it and a find row above it. It
// creates and deletes the editors and joins their parts into the whole key mapping
// document.
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
    // What "Undo" and Ctrl+Z do: takes back the last delete or import that the undo bar
    // offers.
    void undo();

    // Reads each file as the key mapping file is read and adds its combinations at the end
    // of the list, in their order, for one undo bar to take back. A message box says, one
    // sentence a file, which files added nothing and which were read only in part.
    // Returns how many combinations were added.
    qsizetype importFiles(const QStringList &paths);
    // Writes the combinations that would be saved at close to path, in the key mapping
    // file's layout, all or nothing (KeyMapFile::write); errorString says why not.
    bool exportTo(const QString &path, QString *errorString = nullptr) const;

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

    // Appends parsed combinations to those not built yet, each in its same-keys group.
    void queue(const QList<XmlParser::KeyConfig> &list);

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
    void showUndoBar(const QString &text);
    void dropUndo(QWidget *focusAfter = nullptr);

    // The find row at the top: the find field, the count of what is shown and "Press Keys".
    // Other controls of the list are appended to m_findRow.
    void setupFind(QVBoxLayout *column);
    QHBoxLayout *m_findRow = nullptr;
    QLineEdit *m_findEdit = nullptr;
    QLabel *m_findCount = nullptr; // "%1 of %2", only while a filter is in force
    InputButton *m_pressKeysButton = nullptr; // checked while it takes keys for the filter
    QList<XmlParser::Key> m_pressedKeys;
    // Editors it leaves out are hidden; combinations not built yet are matched from their data.
    CombinationFilter m_filter;
    void setFilter(const CombinationFilter &filter);
    void startKeyFilter();
    void endKeyFilter();
    void clearFilter();
    void updateFindCount();

    // "Import…" and "Export…" at the right end of the find row.
    void setupSharing();
    QPushButton *m_importButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QString m_shareFolder; // where the file dialogs open: the folder chosen last
    void chooseImport();
    void chooseExport();
    void tell(const QString &text);
    qsizetype m_imported = 0; // the undo bar offers to take back this many from the end
    void undoImport();
};

#endif // KEYCONFIGSET_H
