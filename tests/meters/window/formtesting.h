#ifndef TEST_FORMTESTING_H
#define TEST_FORMTESTING_H

#include <QCoreApplication>
#include <QMutex>
#include <QStringList>
#include <QTranslator>

// Translates every text to "<context>|<source>", so a test can see which
// translation context a form used for each of its texts.
class ContextMarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *disambiguation = nullptr,
                      int n = -1) const override
    {
        Q_UNUSED(n);
        if (disambiguation)
            return QStringLiteral("%1|%2|%3")
                .arg(QLatin1String(context), QLatin1String(sourceText), QLatin1String(disambiguation));
        return QStringLiteral("%1|%2").arg(QLatin1String(context), QLatin1String(sourceText));
    }
    bool isEmpty() const override { return false; }
};

// Collects the messages written to Qt's debug stream while it lives.
class DebugCapture
{
public:
    DebugCapture()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&DebugCapture::handler);
    }
    ~DebugCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }

    QStringList messages() const
    {
        QMutexLocker lock(&m_mutex);
        return m_messages;
    }
    bool contains(const QString &start) const
    {
        for (const QString &m : messages())
            if (m.startsWith(start))
                return true;
        return false;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
    {
        if (s_current) {
            QMutexLocker lock(&s_current->m_mutex);
            s_current->m_messages.append(msg);
        }
        if (type != QtDebugMsg && s_current && s_current->m_previous)
            s_current->m_previous(type, ctx, msg);
    }

    static inline DebugCapture *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_messages;
};

#endif  // TEST_FORMTESTING_H
