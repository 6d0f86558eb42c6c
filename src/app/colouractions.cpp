#include "colouractions.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "session.h"
#include "settings.h"

namespace {

int checkedIndex(const QActionGroup *pGroup)
{
    const QAction *pChecked = pGroup->checkedAction();
    return pChecked ? pChecked->data().toInt() : 0;
}

void check(QActionGroup *pGroup, int index)
{
    const QList<QAction *> actions = pGroup->actions();
    if (index >= 0 && index < actions.size())
        actions.at(index)->setChecked(true);
}

} // namespace

ColourActions::ColourActions(Session &session, Settings &settings, QMenu *pViewMenu,
                             QObject *pParent)
    : QObject(pParent), m_session(session), m_settings(settings)
{
    QMenu *pMenu = pViewMenu->addMenu(QStringLiteral("Colour"));
    m_pDisplay = addGroup(pMenu, QStringLiteral("Display"),
                          {QStringLiteral("Y (gray)"), QStringLiteral("U (gray)"),
                           QStringLiteral("V (gray)"), QStringLiteral("Colour")});
    m_pMatrix = addGroup(pMenu, QStringLiteral("Matrix"),
                         {QStringLiteral("Automatic (by frame size)"), QStringLiteral("BT.601"),
                          QStringLiteral("BT.709"), QStringLiteral("BT.2020")});
    m_pRange = addGroup(pMenu, QStringLiteral("Range"),
                        {QStringLiteral("Automatic (the file's tag, else limited)"),
                         QStringLiteral("Limited"), QStringLiteral("Full")});
    m_pChroma = addGroup(pMenu, QStringLiteral("Chroma"),
                         {QStringLiteral("Nearest"), QStringLiteral("Bilinear (MPEG-2 siting)")});
    m_pTransfer = addGroup(pMenu, QStringLiteral("Transfer"),
                           {QStringLiteral("SDR"), QStringLiteral("PQ (HDR preview)"),
                            QStringLiteral("HLG (HDR preview)")});
    showSession();
    connect(&m_session, &Session::colourChanged, this, &ColourActions::showSession);
    connect(&m_session, &Session::planeChanged, this, [this](int plane) {
        // Movies loaded from now on are read at that plane too.
        m_settings.getLoadAnswers().plane = plane;
        showSession();
    });
    connect(&m_session, &Session::movieChanged, this, &ColourActions::showSession);
}

QActionGroup *ColourActions::addGroup(QMenu *pMenu, const QString &heading,
                                      const QStringList &texts)
{
    pMenu->addSection(heading);
    auto *pGroup = new QActionGroup(this);
    for (int i = 0; i < texts.size(); ++i) {
        QAction *pAction = pMenu->addAction(texts.at(i));
        pAction->setCheckable(true);
        pAction->setData(i);
        pGroup->addAction(pAction);
    }
    connect(pGroup, &QActionGroup::triggered, this, &ColourActions::choose);
    return pGroup;
}

void ColourActions::showSession()
{
    // Colour is offered once a movie has chroma; until then the plane is what shows.
    const bool offered = m_session.hasColourMovie();
    m_pDisplay->actions().at(3)->setEnabled(offered);
    check(m_pDisplay, m_session.isColour() && offered ? 3 : m_session.getPlane());
    const ColourOptions &options = m_session.getColourOptions();
    check(m_pMatrix, int(options.matrix));
    check(m_pRange, int(options.range));
    check(m_pChroma, int(options.chroma));
    check(m_pTransfer, int(options.transfer));
}

void ColourActions::choose()
{
    const int display = checkedIndex(m_pDisplay);
    ColourOptions options;
    options.matrix = ColourOptions::Matrix(checkedIndex(m_pMatrix));
    options.range = ColourOptions::Range(checkedIndex(m_pRange));
    options.chroma = ColourOptions::Chroma(checkedIndex(m_pChroma));
    options.transfer = ColourOptions::Transfer(checkedIndex(m_pTransfer));
    if (display < 3)
        m_session.setPlane(display);
    m_session.setColourOptions(options);
    m_session.setColour(display == 3);
    m_settings.setColour(m_session.isColour(), options);
}
