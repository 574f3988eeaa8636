#pragma once

#include <QObject>
#include <QString>
#include <functional>

class Datasheet;
class ResultsStore;

// Follows a datasheet into the results store: a data file opened is compared with the store; a
// comment edited, a row deleted and the datasheet saved under a new name are recorded. Rows are named
// by their place in the data file, so a file read only in part (its unread lines kept) is followed
// row for row as well. Only hands jobs to the store; never waits on it.
class DatasheetStoreLink : public QObject {
    Q_OBJECT
public:
    // operatorName: the Operator field the entries are made in the name of, asked at each change.
    // A child of the store: it goes with the store, before anything is told to a store that is gone.
    DatasheetStoreLink(Datasheet& sheet, ResultsStore& store, std::function<QString()> operatorName = {});

    // A data file as the store names it: its absolute, clean path.
    static QString FileKey(const QString& path);
    // The data file in use as the store names it, and the place there of the last row of the grid
    // (the result just appended).
    QString dataFile() const;
    int lastRowPlace() const;

private:
    void tellOperator();

    Datasheet& m_sheet;
    ResultsStore& m_store;
    std::function<QString()> m_operatorName;
};
