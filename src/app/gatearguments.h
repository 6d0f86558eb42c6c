#pragma once

#include <QString>

#include "metricsgate.h"

class QCommandLineParser;

// The bounds of --metrics on the command line, each option at most once:
// --fail-below NAME=V[,NAME=V...], --fail-above NAME=V[,...] and --max-abs-diff N.
class GateArguments
{
public:
    static void addOptions(QCommandLineParser &parser);
    // False with the error (one sentence) for a bad bound, an option given twice, or one given
    // without --metrics (`metrics`).
    bool parse(const QCommandLineParser &parser, bool metrics, QString &error);
    const MetricsGate &getGate() const { return m_gate; }

private:
    MetricsGate m_gate;
};
