#pragma once

#include <QWidget>

class QLabel;
struct AppIdentity;

// Shown while the program starts; no buttons, keys do nothing.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(const AppIdentity& identity, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QLabel* imgLogo;
    QLabel* lblProductName;
    QLabel* lblProductName2;
    QLabel* lblVersion;
    QLabel* lblTagline;
};
