#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QDBusContext>
#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Keeps the editor to one running copy per session. The first start owns the name
// org.tavorin.Settings on the session bus for as long as its process lives and answers
// the standard org.freedesktop.Application interface at /org/tavorin/Settings; a later
// start asks it to come forward instead of opening a second editor, whose close would
// overwrite the first one's work with a stale copy.
class SingleInstance : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    static constexpr const char *serviceName = "org.tavorin.Settings";
    static constexpr const char *objectPath = "/org/tavorin/Settings";

    enum Outcome {
        OpenHere, // this start owns the name, or there is no session bus to ask: open the editor
        HandedOver, // the running editor came forward: end with status 0
        NoAnswer, // the running editor did not answer in time (said on standard error)
        NotImported, // the running editor could not take the files in (said on standard error)
    };
    static constexpr const char *notImportedError = "org.tavorin.Settings.Error.NotImported";

    explicit SingleInstance(QObject *parent = nullptr);

    // Takes the name, or asks its owner to Activate (to Open the files, given their
    // absolute paths), trying again while an owner that is just ending gives the name up,
    // for at most timeoutMs milliseconds in all.
    Outcome claim(const QStringList &files = QStringList(), int timeoutMs = 2000);

    // The window that Activate shows and raises; once it is closed, Activate fails, so
    // that a start during the close waits for the name instead of being told all is well.
    void setWindow(QWidget *window);

    // The interface's methods, exported with the names (argument names included) that
    // the interface defines.
public Q_SLOTS:
    void Activate(const QVariantMap &platform_data);
    // Hands the files (local file URIs only) to the file handler, then comes forward as
    // for Activate; answers with notImportedError when the handler could not take them.
    void Open(const QStringList &uris, const QVariantMap &platform_data);
    // The editor has no actions; every name is answered with an error.
    void ActivateAction(const QString &action_name, const QVariantList &parameter,
                        const QVariantMap &platform_data);

public:
    // Takes the files that Open was called with, by their absolute paths; false when
    // they could not be taken in.
    void setFileHandler(std::function<bool(const QStringList &paths)> handler)
    {
        m_fileHandler = std::move(handler);
    }

private:
    QPointer<QWidget> m_window;
    std::function<bool(const QStringList &)> m_fileHandler;
};

#endif // SINGLEINSTANCE_H
