#pragma once

#include <QObject>

class Session;
class SliceWidget;

// Keeps a slice widget showing what the session says (movies with their offsets, the five
// display ranges, the view type, colour and the frame) and hands the widget's own frame steps
// (slider, wheel, keys, playback) back to the session. Both are borrowed and must outlive it.
class SliceBinding : public QObject
{
    Q_OBJECT
public:
    // Without followView the widget keeps the view it is given (a pane of several).
    SliceBinding(Session &session, SliceWidget &sliceWidget, QObject *pParent = nullptr,
                 bool followView = true);

private:
    void showMovies();
    void showColour();
    void showRange(int viewType);
    void showFrame(int frame);

    Session &m_session;
    SliceWidget &m_sliceWidget;
};
