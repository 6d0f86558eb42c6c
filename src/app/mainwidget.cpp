#include "mainwidget.h"

MainWidget::MainWidget() { show(); }

MainWidget::~MainWidget() = default;
