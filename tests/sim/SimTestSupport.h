#pragma once

#include "sim/SimInstrument.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstring>

// Small helpers for driving the simulated instrument the way the program does.
namespace SimTest {

inline QByteArray floatHex(float value) {
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return SimInstrument::hex(bits, 8);
}

inline QByteArray moveCommand(qint32 target, float rate, int checkMask = 0, int breaks = 0) {
    return "M" + SimInstrument::hex(quint32(target), 8) + floatHex(rate) +
           SimInstrument::hex(quint32(checkMask), 2) + SimInstrument::hex(quint32(breaks), 2);
}

inline QByteArray sampling(int channel, int samples, int threshold) {
    return "l" + SimInstrument::hex(quint32(channel), 1) + SimInstrument::hex(quint32(samples), 4) + "FFFF" +
           SimInstrument::hex(quint32(threshold), 4);
}

// The fields of an "L" reply.
struct LoadStatus {
    bool ok = false;
    int status = -1;
    qint32 position = 0;
    qint64 load = 0;
    qint64 peak = 0;
    quint32 timeMs = 0;
};

inline LoadStatus parseLoadStatus(const QByteArray& reply) {
    LoadStatus s;
    const qsizetype p = reply.indexOf('L');
    if (p < 0 || reply.size() < p + 31)
        return s;
    const QByteArray f = reply.mid(p + 1, 30);
    bool a, b, c, d, e;
    s.status = f.mid(0, 2).toInt(&a, 16);
    s.position = qint32(f.mid(2, 8).toUInt(&b, 16));
    s.load = f.mid(10, 6).toLongLong(&c, 16);
    s.peak = f.mid(16, 6).toLongLong(&d, 16);
    s.timeMs = f.mid(22, 8).toUInt(&e, 16);
    s.ok = a && b && c && d && e;
    return s;
}

// A quiet instrument: no noise, a fiber of exactly known strength.
inline SimConfig quietConfig(double strengthGpa = 1.0) {
    SimConfig c;
    c.noiseAu = 0;
    c.weibullShape = 0;
    c.strengthGpa = strengthGpa;
    c.takeUpSteps = 0; // the load starts exactly at the end of the slack
    c.fatigueN = 0;    // and the fiber breaks exactly at its strength
    c.creepShare = 0;  // and holds its load at rest
    c.instant = true;
    return c;
}

} // namespace SimTest
