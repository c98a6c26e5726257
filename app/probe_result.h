#pragma once
// One probe's outcome as it reaches the window: everything the echo reply told, and when.
#include <QDateTime>
#include <QString>

struct ProbeResult {
    int status = 0;     // 0 online, any other value offline (the echo status codes)
    QString responder;  // the host that answered (or the router that reported), dotted
    QString address;    // the probed text, as the row spells it
    int rttMs = 0;      // round-trip time of an answer
    int rttUs = 0;      // the same in microseconds, as finely as it was measured
    int ttl = 0;        // of the answer's IP packet
    QDateTime when;     // when the outcome came
    // The row the result is for, when the scan knows it (one that sends to every row at once:
    // two rows with one address each get their own); -1: the row found by its address.
    int row = -1;
    // False for the later answers of a scan that sends to every row at once: its sound plays
    // once at most.
    bool mayPlaySound = true;
};
