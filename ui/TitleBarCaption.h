#pragma once

#include <QObject>

class FramelessHelper;
class QWidget;

// Keeps a frameless window's caption exactly as tall as the title bar it
// draws: the bar's height comes from its style and contents, which a fixed
// figure never matches on every screen.
class TitleBarCaption : public QObject
{
public:
    // Lives as long as the helper it serves.
    TitleBarCaption(QWidget* titleBar, FramelessHelper* frameless);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    QWidget* m_titleBar;
    FramelessHelper* m_frameless;
};
