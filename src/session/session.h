#pragma once

#include <memory>

#include <QObject>
#include <QRect>
#include <QStringList>

#include "colouroptions.h"
#include "differencedisplay.h"
#include "displayrange.h"
#include "layout.h"
#include "movieset.h"

class Image3D;

// The comparison the user is looking at: the three movie slots (main, reference 1, reference 2)
// with the files they came from, where each reference starts on the main movie's frames, the
// display range of each of the five views (ViewType), the frame shown (counted from 0) and the
// kind of view of the single pane. Views, editors, panels and the headless modes read it; every
// setter changes a value only when it differs, and each kind of change has one signal.
class Session : public QObject
{
    Q_OBJECT
public:
    enum Slot : int { Main = 0, Reference1 = 1, Reference2 = 2 };
    static constexpr int SlotCount = 3;
    // A reference may start this many frames before or after the main movie's first frame.
    static constexpr int MaxOffset = 9999999;

    explicit Session(QObject *pParent = nullptr);
    ~Session() override;

    // The movie in slot (Slot), or null; owned by the session.
    const Image3D *getMovie(int slot) const;
    // The files the movie in slot was read from, in stacking order; empty for an empty slot.
    QStringList getFileNames(int slot) const;
    // Replaces the movie in slot (null clears it): movieAboutToChange, then the old movie goes,
    // then movieChanged. A view still at the starting range of 8-bit movies then takes the
    // starting range of the new movies' depth. Nothing happens when slot is empty and stays so.
    void setMovie(int slot, std::unique_ptr<Image3D> pMovie, const QStringList &fileNames = {});
    // The movies with the references' offsets, borrowed until the next movieAboutToChange.
    MovieSet getMovieSet() const;

    // Reference ref (1 or 2) starts at main frame offset: its frame f - offset is compared with
    // main frame f. Clamped to -MaxOffset .. MaxOffset.
    int getOffset(int ref) const;
    void setOffset(int ref, int offset);

    // viewType is a ViewType value (0..4).
    DisplayRange getRange(int viewType) const;
    void setRange(int viewType, const DisplayRange &range);

    // The frame shown, 0 .. getNumFrames() - 1 (0 without movies); clamped.
    int getFrame() const { return m_frame; }
    void setFrame(int frame);
    int getNumFrames() const { return getMovieSet().getNumFrames(); }

    int getViewType() const { return m_viewType; }
    // Clamped to 0..4.
    void setViewType(int viewType);

    // The plane the gray views and the differences show: 0 = Y, 1 = U, 2 = V. Setting it reads
    // each movie of a file with that plane at that plane instead (movieChanged for each); a
    // picture or a gray file keeps its one plane.
    int getPlane() const { return m_plane; }
    void setPlane(int plane);
    // Whether the main and reference views show their movies in colour, and how; a movie
    // without chroma stays gray. The differences stay of the plane shown.
    bool isColour() const { return m_colour; }
    // Whether a movie can be shown in colour: one read from a file with chroma.
    bool hasColourMovie() const;
    void setColour(bool colour);
    const ColourOptions &getColourOptions() const { return m_colourOptions; }
    void setColourOptions(const ColourOptions &options);

    // The panes and what each shows; views are clamped to 0..4, a grid to 2 .. 6 views in 2 or 3
    // columns, the wipe position to 0..1.
    const Layout &getLayout() const { return m_layout; }
    void setLayout(const Layout &layout);

    // The rectangle selected for region statistics, in the picture's samples (x right, y down
    // from the top row, as the readout counts); empty when none. Kept inside the largest movie's
    // frame: a region outside it, or any region without movies, is none.
    QRect getRegion() const { return m_region; }
    void setRegion(const QRect &region);

    // How difference view ref (1 or 2: Diff1, Diff2) shows main - reference.
    DifferenceDisplay getDifferenceDisplay(int ref) const;
    void setDifferenceDisplay(int ref, const DifferenceDisplay &display);

    // Memory for the frames of the movies read from files, shared equally by those movies
    // (and, in colour, by their frames of three planes).
    qint64 getFrameCacheBudget() const { return m_frameCacheBudget; }
    void setFrameCacheBudget(qint64 bytes);

signals:
    // The movie in slot is about to be replaced or cleared: let go of it now.
    void movieAboutToChange(int slot);
    void movieChanged(int slot);
    void offsetChanged(int ref, int offset);
    void rangeChanged(int viewType, const DisplayRange &range);
    void frameChanged(int frame);
    void viewTypeChanged(int viewType);
    void frameCacheBudgetChanged(qint64 bytes);
    void planeChanged(int plane);
    // Colour was switched on or off, or its options changed.
    void colourChanged();
    void differenceDisplayChanged(int ref, const DifferenceDisplay &display);
    void layoutChanged(const Layout &layout);
    void regionChanged(const QRect &region);

private:
    void shareFrameCacheBudget();
    void widenStartingRanges();
    void clampFrame();

    std::unique_ptr<Image3D> m_pMovies[SlotCount];
    QStringList m_fileNames[SlotCount];
    int m_offsets[2] = {0, 0};
    DisplayRange m_ranges[5];
    int m_frame = 0;
    int m_viewType = 0;
    int m_plane = 0;
    bool m_colour = false;
    ColourOptions m_colourOptions;
    DifferenceDisplay m_differenceDisplays[2];
    Layout m_layout;
    QRect m_region;
    qint64 m_frameCacheBudget = 0;
};
