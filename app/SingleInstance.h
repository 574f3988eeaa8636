#pragma once

#include <QString>
#include <memory>

class QLocalServer;

// One running program per user: the first instance listens on a per-user local server name,
// a later one finds it answering.
class SingleInstance {
public:
    explicit SingleInstance(QString name = defaultName());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // "Corvane-STAVELY-" followed by the user's id.
    static QString defaultName();

    // True when no other instance answers; this one then holds the name until destroyed.
    // A name left behind by an instance that crashed is taken over.
    bool acquire();
    // Gives the name up (also done by the destructor, which a process ended at once never runs).
    void release();
    bool held() const { return m_held; }
    QString name() const { return m_name; }

private:
    QString m_name;
    std::unique_ptr<QLocalServer> m_server;
    bool m_held = false;
};
