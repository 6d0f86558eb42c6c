#include "layoutactions.h"

#include <QAction>
#include <QActionGroup>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QToolBar>

#include "session.h"

LayoutActions::LayoutActions(Session &session, QMenu *pMenu, QToolBar *pToolBar, QObject *pParent)
    : QObject(pParent), m_session(session)
{
    m_pKinds = new QActionGroup(this);
    const char *texts[5] = {"Single", "Side by side", "Grid", "Wipe", "Flicker"};
    for (int kind = 0; kind < 5; ++kind) {
        QAction *pAction = pMenu->addAction(QString::fromUtf8(texts[kind]));
        pAction->setCheckable(true);
        pAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + kind)));
        m_pKinds->addAction(pAction);
        connect(pAction, &QAction::triggered, this, [this, kind]() {
            Layout layout = m_session.getLayout();
            layout.kind = Layout::Kind(kind);
            m_session.setLayout(layout);
        });
    }
    pMenu->addSeparator();
    m_pThreeColumns = pMenu->addAction(QStringLiteral("Grid of three columns"));
    m_pThreeColumns->setCheckable(true);
    connect(m_pThreeColumns, &QAction::triggered, this, [this](bool three) {
        Layout layout = m_session.getLayout();
        layout.columns = three ? 3 : 2;
        m_session.setLayout(layout);
    });

    m_pRate = new QDoubleSpinBox(pToolBar);
    m_pRate->setObjectName(QStringLiteral("flickerRate"));
    m_pRate->setRange(0, 30);
    m_pRate->setDecimals(1);
    m_pRate->setSuffix(QStringLiteral(" /s"));
    m_pRate->setSpecialValueText(QStringLiteral("hold B"));
    m_pRate->setToolTip(QStringLiteral("Flicker: changes a second, or B held"));
    m_pRateAction = pToolBar->addWidget(m_pRate);
    connect(m_pRate, &QDoubleSpinBox::valueChanged, this, [this](double rate) {
        Layout layout = m_session.getLayout();
        layout.flickerRate = rate;
        m_session.setLayout(layout);
    });
    connect(&m_session, &Session::layoutChanged, this, &LayoutActions::showSession);
    showSession();
}

void LayoutActions::showSession()
{
    const Layout &layout = m_session.getLayout();
    m_pKinds->actions().at(int(layout.kind))->setChecked(true);
    m_pThreeColumns->setChecked(layout.columns == 3);
    if (m_pRate->value() != layout.flickerRate)
        m_pRate->setValue(layout.flickerRate);
    m_pRateAction->setVisible(layout.kind == Layout::Kind::Flicker);
}
