#include "ui/UiScale.h"

#include <cmath>

UiScale::UiScale(int availableHeight)
    : m_height(availableHeight)
    , m_scale(availableHeight / 800.0)
{
}

QSize UiScale::minimumWindowSize() const
{
    return QSize(static_cast<int>(m_height * 1.2), static_cast<int>(0.8 * m_height));
}

int UiScale::treeWidth() const
{
    return static_cast<int>(218 * m_scale + 40);
}

int UiScale::projectPanelWidth() const
{
    return static_cast<int>(260 * m_scale + 40);
}

int UiScale::plotFontPixelSize() const
{
    return scaled(11);
}

QList<QPair<QString, QString>> UiScale::styleVariables() const
{
    const auto px = [](int value) { return QStringLiteral("%1px").arg(value); };
    return {
        {QStringLiteral("$font-size-s"), px(scaled(13))},
        {QStringLiteral("$font-size-m"), px(scaled(15))},
        {QStringLiteral("$font-size-l"), px(scaled(24))},
        {QStringLiteral("$font-size-l-1"), px(scaled(23))},
        {QStringLiteral("$xRadius"), px(scaled(4))},
        {QStringLiteral("$xPadding"), px(static_cast<int>(std::ceil(11 * m_scale - 5)))},
        {QStringLiteral("$input-height"), px(scaled(34))},
        {QStringLiteral("$btn-min-width"), px(scaled(62))},
        {QStringLiteral("$tab-width"), px(scaled(100))},
    };
}

QString UiScale::windowStyleSheet() const
{
    return QStringLiteral("QTabWidget#widget_Tree{min-width:%1px;max-width:%1px;}"
                          "QWidget#widget_Project{min-width:%2px;max-width:%2px;}")
        .arg(treeWidth())
        .arg(projectPanelWidth());
}

int UiScale::scaled(double pixels) const
{
    return static_cast<int>(std::ceil(pixels * m_scale));
}
