#pragma once

#include <QObject>

#include <functional>

// Start-up probe for the benchmark: installed on the application before any window exists, it
// waits for the first top-level window to be exposed, lets it paint and flush, then prints
// "seconds=" (time since the benchmark started the process, passed in RAWBENCH_START) and ends
// the process at once. With a `ready` test it waits instead for the first paint of a top-level
// window after which the test holds (the first frame on screen, say).
class ShownProbe : public QObject
{
    Q_OBJECT
public:
    explicit ShownProbe(QObject *parent = nullptr);
    explicit ShownProbe(std::function<bool()> ready, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<bool()> m_ready;
};
