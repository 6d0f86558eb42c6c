#pragma once

class Image3D;

// The movies compared, borrowed (any may be null): the main movie, two references, and where
// each reference starts on the main movie's frames. Reference k's frame f - offset(k) is
// compared with main frame f; a frame number outside a movie means that movie is absent there.
// Offsets 0 compare frame for frame.
class MovieSet
{
public:
    // What a view reads at one main frame: movie A's frame, or the difference A - B.
    struct ViewSources
    {
        const Image3D *pA = nullptr;
        int frameA = 0;
        const Image3D *pB = nullptr;
        int frameB = 0;
        bool difference = false;
    };

    MovieSet() = default;
    MovieSet(const Image3D *pMain, const Image3D *pRef1, const Image3D *pRef2, int ref1Offset = 0,
             int ref2Offset = 0);

    const Image3D *getMain() const { return m_pMain; }
    // ref is 1 or 2.
    const Image3D *getReference(int ref) const { return ref == 2 ? m_pRef2 : m_pRef1; }
    int getOffset(int ref) const { return ref == 2 ? m_ref2Offset : m_ref1Offset; }
    // The frame of reference ref shown with main frame `frame`.
    int referenceFrame(int ref, int frame) const { return frame - getOffset(ref); }

    // viewType is a ViewType value.
    ViewSources sources(int viewType, int frame) const;
    // The frames the views step through: up to the last frame of any movie, references shifted
    // by their offsets (0 with no movie).
    int getNumFrames() const;
    // The largest extent of the three movies.
    int getWidth() const;
    int getHeight() const;

    bool operator==(const MovieSet &other) const;
    bool operator!=(const MovieSet &other) const { return !(*this == other); }

private:
    const Image3D *m_pMain = nullptr;
    const Image3D *m_pRef1 = nullptr;
    const Image3D *m_pRef2 = nullptr;
    int m_ref1Offset = 0;
    int m_ref2Offset = 0;
};
