#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;

// The manual in a help browser of the program's own, so that it opens on a laboratory PC without
// a web browser. Links to other places go to the system's browser.
class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(const QString& helpFile, QWidget* parent = nullptr);

    // Shows the manual at a section ("" for its start); false when the file is missing.
    bool showTopic(const QString& anchor = {});

    QTextBrowser* browser() const { return m_browser; }
    // Selects the next place of the text (the one before when backward), going round the manual's
    // end; false when the manual does not hold it.
    bool Find(const QString& text, bool backward = false);

    QLineEdit* txtFind = nullptr;
    QLabel* lblFound = nullptr;

private:
    QString m_helpFile;
    QTextBrowser* m_browser;
};
