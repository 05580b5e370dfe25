#include "ui/TitleBarCaption.h"

#include "ui/FramelessHelper.h"

#include <QEvent>
#include <QWidget>

TitleBarCaption::TitleBarCaption(QWidget* titleBar, FramelessHelper* frameless)
    : QObject(frameless)
    , m_titleBar(titleBar)
    , m_frameless(frameless)
{
    titleBar->installEventFilter(this);
    follow();
}

bool TitleBarCaption::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_titleBar && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        follow();
    return false;
}

void TitleBarCaption::follow()
{
    m_frameless->setTitleBarHeight(m_titleBar->mapTo(m_titleBar->window(), QPoint(0, m_titleBar->height())).y());
}
