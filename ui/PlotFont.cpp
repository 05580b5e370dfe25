#include "ui/PlotFont.h"

namespace {

QFont makeDefault()
{
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QFont& stored()
{
    static QFont font = makeDefault();
    return font;
}

} // namespace

QFont PlotFont::font()
{
    return stored();
}

void PlotFont::setFont(const QFont& font)
{
    stored() = font;
}
