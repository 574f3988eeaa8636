#include "store/DatasheetStoreLink.h"

#include "results/Datasheet.h"
#include "store/ResultsStore.h"

#include <QDir>
#include <QFileInfo>

DatasheetStoreLink::DatasheetStoreLink(Datasheet& sheet, ResultsStore& store,
                                       std::function<QString()> operatorName)
    : QObject(&store), m_sheet(sheet), m_store(store), m_operatorName(std::move(operatorName)) {
    connect(&sheet, &Datasheet::dataFileLoaded, this, [this](const QString& path) {
        tellOperator();
        m_store.dataFileOpened(FileKey(path), m_sheet.fileRows());
    });
    connect(&sheet, &Datasheet::commentEdited, this,
            [this](int place, const QString& before, const QString&) {
                for (const DataRow& row : m_sheet.model().allRows())
                    if (m_sheet.fileRowNumber(row.number()) == place) {
                        tellOperator();
                        m_store.commentEdited(dataFile(), place, row.fields(), before, m_sheet.lastReason());
                        return;
                    }
            });
    connect(&sheet, &Datasheet::rowDeleted, this, [this](int place, const QString& line) {
        tellOperator();
        m_store.rowDeleted(dataFile(), place, line, m_sheet.lastReason());
    });
    connect(&sheet, &Datasheet::savedUnderNewName, this,
            [this](const QString& previous, const QString& path) {
                tellOperator();
                m_store.savedAs(FileKey(previous), FileKey(path), m_sheet.fileRows());
            });
}

QString DatasheetStoreLink::FileKey(const QString& path) {
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString DatasheetStoreLink::dataFile() const {
    return FileKey(m_sheet.dataFileName());
}

int DatasheetStoreLink::lastRowPlace() const {
    return m_sheet.fileRowNumber(m_sheet.resultRows());
}

void DatasheetStoreLink::tellOperator() {
    if (m_operatorName)
        m_store.setOperator(m_operatorName());
}
