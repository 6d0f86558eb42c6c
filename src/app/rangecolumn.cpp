#include "rangecolumn.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogprovider.h"
#include "displayrange.h"
#include "offsetfinder.h"
#include "percentilerange.h"
#include "scalewidget.h"
#include "session.h"
#include "viewtype.h"

RangeColumn::RangeColumn(Session &session, const std::unique_ptr<DialogProvider> &dialogs,
                         QWidget *pParent)
    : QWidget(pParent), m_session(session), m_dialogs(dialogs)
{
    auto *pLayout = new QVBoxLayout(this);
    const char *titles[5] = {"Main", "Reference 1", "Reference 2", "Difference 1", "Difference 2"};
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        m_pEditors[view] = new ScaleWidget(QString::fromUtf8(titles[view]), this);
        pLayout->addWidget(m_pEditors[view]);
        showRange(view);
        connect(m_pEditors[view], &ScaleWidget::range, this,
                [this, view](float minValue, float maxValue) {
                    m_session.setRange(view, DisplayRange {minValue, maxValue});
                });
        connect(m_pEditors[view], &ScaleWidget::automatic, this,
                [this, view]() { setAutomaticRange(view); });
    }
    m_pPositionLabel = new QLabel(this);
    pLayout->addWidget(m_pPositionLabel);
    showPosition(0, 0);
    m_pOffsetFinder = new OffsetFinder(m_session, m_dialogs, this);
    connect(m_pOffsetFinder, &OffsetFinder::noted, this, &RangeColumn::noted);
    createOffsetBox(1);
    createOffsetBox(2);
    createDifferenceFields(1);
    createDifferenceFields(2);
    connect(&m_session, &Session::differenceDisplayChanged, this,
            [this](int ref) { showDifferenceDisplay(ref); });
    connect(&m_session, &Session::rangeChanged, this,
            [this](int viewType) { showRange(viewType); });
    connect(&m_session, &Session::offsetChanged, this, [this](int ref, int offset) {
        const QSignalBlocker blocker(m_pOffsetBoxes[ref - 1]);
        m_pOffsetBoxes[ref - 1]->setValue(offset);
    });
}

void RangeColumn::showRange(int viewType)
{
    const DisplayRange range = m_session.getRange(viewType);
    // The fields may round what the session holds: what they show must not come back as an edit.
    const QSignalBlocker blocker(m_pEditors[viewType]);
    m_pEditors[viewType]->setValues(range.minValue, range.maxValue);
}

void RangeColumn::createOffsetBox(int ref)
{
    ScaleWidget *pEditor = m_pEditors[ref == 1 ? ViewType::Ref1 : ViewType::Ref2];
    auto *pBox = new QSpinBox(pEditor);
    pBox->setObjectName(QStringLiteral("ref%1Offset").arg(ref));
    pBox->setRange(-Session::MaxOffset, Session::MaxOffset);
    pBox->setValue(m_session.getOffset(ref));
    // Applied on Enter, the arrows or leaving the field, not at every digit typed.
    pBox->setKeyboardTracking(false);
    pBox->setToolTip(QStringLiteral("The main frame this reference's first frame is shown "
                                    "with: its frame f - offset is compared with main frame "
                                    "f (--ref%1-offset)")
                             .arg(ref));
    // In the reference's own box, below its range, with the button that looks for it.
    auto *pRow = new QWidget(pEditor);
    auto *pRowLayout = new QHBoxLayout(pRow);
    pRowLayout->setContentsMargins(0, 0, 0, 0);
    auto *pFind = new QPushButton(QStringLiteral("Find offset"), pRow);
    pFind->setObjectName(QStringLiteral("ref%1FindOffset").arg(ref));
    pFind->setToolTip(QStringLiteral("Look for the offset within ±%1 frames at which this "
                                     "reference is most like the main movie (mean Y PSNR)")
                              .arg(OffsetFinder::Range));
    pRowLayout->addWidget(pBox, 1);
    pRowLayout->addWidget(pFind);
    pEditor->addField(QStringLiteral("Offset"), pRow);
    m_pOffsetBoxes[ref - 1] = pBox;
    connect(pFind, &QPushButton::clicked, this, [this, ref]() { m_pOffsetFinder->find(ref); });
    const auto enable = [this, pFind, ref]() {
        pFind->setEnabled(m_session.getMovie(Session::Main) && m_session.getMovie(ref));
    };
    connect(&m_session, &Session::movieChanged, pFind, enable);
    enable();
    connect(pBox, &QSpinBox::valueChanged, this,
            [this, ref](int offset) { m_session.setOffset(ref, offset); });
}

void RangeColumn::createDifferenceFields(int ref)
{
    ScaleWidget *pEditor = m_pEditors[ref == 1 ? ViewType::Diff1 : ViewType::Diff2];
    // The mode and, for blocks, their size share a row.
    auto *pModeRow = new QWidget(pEditor);
    auto *pRowLayout = new QHBoxLayout(pModeRow);
    pRowLayout->setContentsMargins(0, 0, 0, 0);
    auto *pMode = new QComboBox(pModeRow);
    pMode->setObjectName(QStringLiteral("diff%1Mode").arg(ref));
    pMode->addItems({QStringLiteral("signed gray"), QStringLiteral("absolute"),
                     QStringLiteral("heat map"), QStringLiteral("mask"), QStringLiteral("blocks")});
    auto *pThreshold = new QDoubleSpinBox(pEditor);
    pThreshold->setObjectName(QStringLiteral("diff%1Threshold").arg(ref));
    pThreshold->setRange(0, 65535);
    pThreshold->setKeyboardTracking(false);
    pThreshold->setToolTip(QStringLiteral("A mask marks |d| above it; Next difference (N) looks "
                                          "for it (--threshold)"));
    auto *pBlock = new QComboBox(pModeRow);
    pBlock->setObjectName(QStringLiteral("diff%1Block").arg(ref));
    pBlock->addItems({QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("16"),
                      QStringLiteral("32"), QStringLiteral("64")});
    pBlock->setToolTip(QStringLiteral("Block size (--block)"));
    pRowLayout->addWidget(pMode, 1);
    pRowLayout->addWidget(pBlock);
    pEditor->addField(QStringLiteral("Display"), pModeRow);
    pEditor->addField(QStringLiteral("Threshold"), pThreshold);
    m_pModeBoxes[ref - 1] = pMode;
    m_pThresholdBoxes[ref - 1] = pThreshold;
    m_pBlockBoxes[ref - 1] = pBlock;
    showDifferenceDisplay(ref);
    auto edited = [this, ref]() {
        DifferenceDisplay display;
        display.mode = DifferenceDisplay::Mode(m_pModeBoxes[ref - 1]->currentIndex());
        display.threshold = float(m_pThresholdBoxes[ref - 1]->value());
        display.blockSize = m_pBlockBoxes[ref - 1]->currentText().toInt();
        m_session.setDifferenceDisplay(ref, display);
    };
    connect(pMode, &QComboBox::currentIndexChanged, this, edited);
    connect(pThreshold, &QDoubleSpinBox::valueChanged, this, edited);
    connect(pBlock, &QComboBox::currentIndexChanged, this, edited);
}

void RangeColumn::showDifferenceDisplay(int ref)
{
    const DifferenceDisplay display = m_session.getDifferenceDisplay(ref);
    const QSignalBlocker blockers[3]
            = {QSignalBlocker(m_pModeBoxes[ref - 1]), QSignalBlocker(m_pThresholdBoxes[ref - 1]),
               QSignalBlocker(m_pBlockBoxes[ref - 1])};
    m_pModeBoxes[ref - 1]->setCurrentIndex(int(display.mode));
    m_pThresholdBoxes[ref - 1]->setValue(double(display.threshold));
    m_pBlockBoxes[ref - 1]->setCurrentText(QString::number(display.blockSize));
    m_pBlockBoxes[ref - 1]->setVisible(display.mode == DifferenceDisplay::Mode::Blocks);
}

void RangeColumn::showPosition(int pos, int numFrames)
{
    m_pPositionLabel->setText(numFrames > 0 ? QString::asprintf("%d/%d", pos + 1, numFrames)
                                            : QStringLiteral("0/0"));
}

void RangeColumn::setAutomaticRange(int viewType)
{
    const MovieSet movies = m_session.getMovieSet();
    const ScaleWidget *pEditor = m_pEditors[viewType];
    const bool thisFrame = pEditor->isThisFrame();
    // Movies read from files are scanned frame by frame; long scans show progress, and a
    // cancelled one changes nothing.
    const ProgressCallback progress = thisFrame
            ? ProgressCallback()
            : m_dialogs->progress(this, QStringLiteral("Computing the range of the movie..."));
    const double share = pEditor->ignoresOutliers() ? PercentileRange::OutlierShare : 0.0;
    // The frame on screen; a reference's own frame under its offset.
    const int shown = m_session.getFrame();
    const int count = thisFrame ? 1 : -1;
    DisplayRange range;
    PercentileRange::Outcome outcome;
    if (viewType <= ViewType::Ref2) {
        const int ref = viewType;
        const int first = !thisFrame ? 0 : ref == 0 ? shown : movies.referenceFrame(ref, shown);
        outcome = PercentileRange::valueRange(m_session.getMovie(viewType), first, count, share,
                                              range.minValue, range.maxValue, progress);
    } else {
        const int ref = viewType == ViewType::Diff1 ? 1 : 2;
        outcome = PercentileRange::differenceRange(
                movies.getMain(), movies.getReference(ref), thisFrame ? shown : 0, count, share,
                range.minValue, range.maxValue, progress, movies.getOffset(ref));
    }
    if (outcome == PercentileRange::Outcome::OutOfMemory)
        m_dialogs->warning(this, QStringLiteral("Warning"),
                           QStringLiteral("Not enough memory to compute the range"));
    // Through the editor, so the session takes the range as the fields round it.
    if (outcome == PercentileRange::Outcome::Done)
        m_pEditors[viewType]->setValues(range.minValue, range.maxValue);
}
