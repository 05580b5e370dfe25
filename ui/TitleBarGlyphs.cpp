#include "ui/TitleBarGlyphs.h"

#include <QFontDatabase>

namespace {

const QString Marlett = QStringLiteral("Marlett");

} // namespace

TitleBarGlyphs::TitleBarGlyphs(bool marlettInstalled)
    : m_marlett(marlettInstalled)
{
}

TitleBarGlyphs TitleBarGlyphs::forInstalledFonts()
{
    return TitleBarGlyphs(QFontDatabase().families().contains(Marlett, Qt::CaseInsensitive));
}

QString TitleBarGlyphs::minimize() const
{
    return m_marlett ? QStringLiteral("0") : QStringLiteral("\u2014");
}

QString TitleBarGlyphs::maximize(bool maximized) const
{
    if (m_marlett)
        return maximized ? QStringLiteral("2") : QStringLiteral("1");
    return maximized ? QStringLiteral("\u2750") : QStringLiteral("\u2610");
}

QString TitleBarGlyphs::close() const
{
    return m_marlett ? QStringLiteral("r") : QStringLiteral("\u2715");
}
