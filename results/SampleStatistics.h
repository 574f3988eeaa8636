#pragma once

#include "results/BatchStatistics.h"

#include <QList>
#include <QString>
#include <QStringList>

// One sample at one nominal rate: what a lab compares when a data file holds several samples.
struct SampleGroup {
    QString sample; // as typed (blanks, not underscores); NoSample for rows that name none
    GroupStatistics group;
    // "B7 preform 12 · 600 MPa/s"
    QString title() const;
};

// The strength figures of a batch per sample and rate, each sample's rows taken by the same rules
// as the batch's (static rows, "ignore" and impossible rows left out). The sample is the
// "sample:" item of the parameter column (column 17).
class SampleStatistics {
public:
    explicit SampleStatistics(const QList<QStringList>& rows);

    // Samples in the order they first appear, each sample's rates in the batch's rate order.
    const QList<SampleGroup>& groups() const { return m_groups; }
    // The number of different samples (rows naming none count as one more).
    int samples() const { return m_samples; }

    // "sample:<name>:<rate>:<key><TAB>value" lines, the name and rate with blanks as underscores.
    QString KeyValueText() const;

    // A row's sample, or empty when it names none.
    static QString SampleOf(const QStringList& fields);
    static const QString NoSample;

private:
    QList<SampleGroup> m_groups;
    int m_samples = 0;
};
