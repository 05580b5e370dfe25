#pragma once

#include <QList>
#include <QPair>
#include <QSize>
#include <QString>

// Sizes of the window that follow the screen: everything is laid out for a
// primary screen 800 px high and scaled from there.
class UiScale
{
public:
    explicit UiScale(int availableHeight);

    double scale() const { return m_scale; }
    QSize minimumWindowSize() const;
    int treeWidth() const;
    int projectPanelWidth() const;
    int plotFontPixelSize() const;
    // The size variables preset before the style sheet loads, in their order.
    QList<QPair<QString, QString>> styleVariables() const;
    // The window's own sheet that fixes the widths of the tree and the
    // right-hand panel.
    QString windowStyleSheet() const;

private:
    int scaled(double pixels) const;

    int m_height;
    double m_scale;
};
