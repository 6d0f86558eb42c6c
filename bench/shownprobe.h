#pragma once

#include <QObject>

// Start-up probe for the benchmark: installed on the application before any window exists, it
// waits for the first top-level window to be exposed, lets it paint and flush, then prints
// "seconds=" (time since the benchmark started the process, passed in RAWBENCH_START) and ends
// the process at once.
class ShownProbe : public QObject
{
    Q_OBJECT
public:
    explicit ShownProbe(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
