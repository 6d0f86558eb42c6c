#pragma once

#include "exportoptions.h"

#include <cstdio>
#include <memory>

class Image3D;
class MovieSet;
class Session;
class ViewRenderer;

// `rawcompare --export-png`: opens the main movie and its references as the window does (raw
// and y4m files read frame by frame, so memory stays flat however long they are), renders one
// view of every frame at which the view's own movies have one (a difference: both) with the
// views' own rendering and writes it as DIR/frame_0000.png, ... (numbered from the first frame
// written, at least four digits, as many as the last number needs). Notes and errors go to
// pErr. Needs no window system.
class ExportRunner
{
public:
    explicit ExportRunner(std::FILE *pErr) : m_pErr(pErr) { }

    // Exit status: 0 done; 1 a file can't be read or a picture can't be written; 2 the
    // arguments don't say enough (a raw file of unknown size).
    int run(const ExportOptions &options);

    // The name of picture `index` of `count` in the folder: frame_0000.png ... .
    static QString pictureName(int index, int count);

    // Opens the files of options into the session's slots, as run() does; the exit status.
    // Without notes, only a failure is said (for a caller that opened the files before).
    int openMovies(const ExportOptions &options, Session &session, bool notes = true);
    // Renders view viewType at main frame `frame` and writes it to fileName as run() writes each
    // picture; false with the reason, on one line, in error.
    static bool writeView(const MovieSet &movies, const ViewRenderer &renderer, int viewType,
                          int frame, const QString &fileName, QString &error);

private:
    // The file's frames as the window opens them into slot (Session::Slot); null with m_status
    // set on failure.
    std::unique_ptr<Image3D> openMovie(int slot, const QString &fileName,
                                       const ExportOptions &options);
    void note(const QString &text);
    int fail(int status, const QString &text);

    std::FILE *m_pErr;
    int m_status = 0;
    bool m_notes = true;
};
