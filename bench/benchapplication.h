#pragma once

#include <QApplication>

// The application object the widgets of a benchmark need; the platform comes from
// QT_QPA_PLATFORM.
class BenchApplication
{
public:
    BenchApplication() : m_app(m_argc, m_argv) { }

private:
    int m_argc = 1;
    char m_name[9] = "rawbench";
    char *m_argv[2] = {m_name, nullptr};
    QApplication m_app;
};
