#pragma once

#include <QString>

// The title-bar buttons are drawn with the "Marlett" symbol font where it is
// installed; elsewhere its glyph codes would show as plain digits and
// letters, so the buttons get the same symbols from the ordinary fonts (the
// style sheet names Marlett first and ordinary families after it).
class TitleBarGlyphs
{
public:
    explicit TitleBarGlyphs(bool marlettInstalled);
    static TitleBarGlyphs forInstalledFonts();

    QString minimize() const;
    QString maximize(bool maximized) const;
    QString close() const;

private:
    bool m_marlett;
};
