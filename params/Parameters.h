#pragma once

#include <QString>
#include <QtGlobal>

// Every persisted setting of the program, one member per parameter key, with its defaults.
// The table that binds them to keys, ranges and the settings store is ParameterTable.
struct Parameters {
    QString DataFileName;
    qint32 MaxStepRate = 5000;
    qint32 SpecimenCount = 1; // 32-bit: its range reaches 1,000,000
    bool Noisy = true;
    double HiCurrRate = 10;
    double MicronsPerStep = 1;
    bool ReverseSense = false;
    bool DebugMode = false;
    bool LockKeyboardWhenMoving = false;
    qint16 RepeatSounds = 0;
    qint16 COMnum = 0;
    double FiberDiameter = 125;
    double Modulus = 72;
    double ModulusA = 3;
    qint32 ExptType = 0;
    double ExptSpeed = 5000;
    float ExptStressRate = 60;
    float ExptStrainRate = 50;
    qint32 PreloadType = 0;
    double PreloadStress = 0;
    double PreloadStrain = 0;
    float WaitBeforeBreak = 0;
    QString BreakSound = QStringLiteral("Beep");
    qint32 PreloadSpeedMode = 0;
    double PreloadUserSpeed = 5000;
    qint16 TestingCount = 1;
    qint16 ADchannel = 0;
    bool SaveLoadTimeData = true; // every break leaves its load/time record unless switched off
    bool SaveLoadTimePlots = false;
    bool PlotsShowDots = true;
    bool AutoGotoLoadPos = true;
    qint16 CopySpecialColumn1 = 16;
    qint16 CopySpecialColumn2 = 4;
    qint16 CopySpecialColumn3 = 11;
    qint16 CopySpecialColumn4 = 0;
    qint16 CopySpecialColumn5 = 0;
    double PreloadLoad = 0;
    float MinBreakLoad = 5;
    float BreakFactor = 0.5f;
    double CoatingEA = 0;
    float GaugeLength = 500;
    QString GridColWidths =
        QStringLiteral("500,500,600,600,600,800,800,800,800,800,800,800,800,800,800,800,1000,2500");
    float ComplianceFactor = 1.3f;
    float MinServoLoad = 0.5f;
    qint16 RateCalculationPercent = 80; // key "RateCalculation%"
    // Who tests and which fiber batch: optional, carried into each result row and the report.
    QString OperatorName; // key "Operator"
    QString Sample;
    double StaticMaxHold = 0; // h; a static hold that lasts this long is a run-out (0: none)
    // The lab's PostgreSQL server (a libpq URI or connection string; never a password): empty keeps the
    // results in the local store only.
    QString LabDatabase;
};
