#include "ui/SciScaleDraw.h"

#include "ui/PlotFont.h"

#include <QStringList>

QwtText SciScaleDraw::label(double value) const
{
    QString text;
    if (value >= 1.0 && value <= 99.0) {
        text = QString::number(value, 'g', 6);
    } else {
        text = QString::number(value, 'e', 1);
        const QStringList parts = text.split(QLatin1Char('e'));
        const double mantissa = parts.value(0).toDouble();
        // Signed on purpose: only a mantissa of exactly 1.0 is a decade.
        if (mantissa - 1.0 < 1e-6)
            text = QStringLiteral("<p>10<sup>%1</sup></p>").arg(parts.value(1).toInt());
    }
    QwtText label(text);
    label.setFont(PlotFont::font());
    return label;
}
