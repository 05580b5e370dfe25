#pragma once

#include "ui/PlotFont.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QVector>

#include <qwt_plot.h>

class QMenu;
class QwtLegend;
class QwtPlotCurve;
class QwtPlotGrid;
class QwtPlotMarker;
class QwtPlotTextLabel;
class QwtScaleDraw;
class QwtScaleEngine;

// One curve added by newLine, kept with the values it was given.
struct GraphLine
{
    QString name;
    QVector<double> x;
    QVector<double> y;
    QwtPlotCurve* curve = nullptr;
};

// The program's curve graph: decay curves on log axes, waveforms on linear
// axes, the line profile as a matrix of curves with a cursor.
class Graph_Lines : public QwtPlot
{
    Q_OBJECT
    Q_PROPERTY(bool TitleShow READ GetTitleShow WRITE SetTitleShow)
    Q_PROPERTY(QString Title READ GetTitle WRITE setGraphTitle)
    Q_PROPERTY(e_AxisScaleType AxisXScale READ GetAxisXScale WRITE setAxisXScale)
    Q_PROPERTY(e_AxisScaleType AxisYScale READ GetAxisYScale WRITE setAxisYScale)
    Q_PROPERTY(bool LegendShow READ GetLegendShow WRITE setLegendShow)

public:
    enum e_AxisScaleType { Linear = 0, Log10 = 1, Time = 2 };
    Q_ENUM(e_AxisScaleType)

    explicit Graph_Lines(QWidget* parent = nullptr);
    ~Graph_Lines() override;

    bool GetTitleShow() const { return m_titleShow; }
    void SetTitleShow(bool show);
    QString GetTitle() const { return m_title; }
    e_AxisScaleType GetAxisXScale() const { return m_axisXScale; }
    void setAxisXScale(e_AxisScaleType type);
    e_AxisScaleType GetAxisYScale() const { return m_axisYScale; }
    void setAxisYScale(e_AxisScaleType type);
    bool GetLegendShow() const { return m_legendShow; }
    void setLegendShow(bool show);

    void setAxisTitle(int axisId, const QString& title);
    void setLogClamp(bool enable, double low, double high);
    void setAxisInverted(int axisId, bool on);
    void applyAxisScale();

public slots:
    void onSetAxisScale(bool xType_log, bool yType_log);
    void clearLines();
    void setGraphTitle(QString name, bool isShow = true);
    void newLine(QString name, QVector<double> x, QVector<double> y, double alphaF = 1.0);
    void createContextMenu();
    void exportToPng();
    void exportToTxt();
    void setAxisX(bool x_log, bool x_auto, double x_min = 0, double x_max = 100);
    void setAxisY(bool y_log, bool y_auto, double y_min = 0, double y_max = 100);
    void newGraph_Lines(QVector<QVector<double>> dataMatrix, QVector<double> xList, QVector<double> yList,
                        double curPos = -1.0);
    void setCurPos(double curPos);
    void setGridMinShow(int axisId, bool show);
    void addWaterMarker(QString text, int flags = Qt::AlignRight | Qt::AlignBottom, QFont font = PlotFont::font(),
                        QColor color = QColor(Qt::lightGray));

private:
    void showTitle();
    void installScale(int axisId, QwtScaleDraw* draw, QwtScaleEngine* engine, int maxMajor, int maxMinor);
    void drawLinear(GraphLine* line, double alphaF);
    void drawLog(GraphLine* line, double alphaF);
    void removeCurve(GraphLine* line);
    QString exportFileName(const QString& suffix, const QString& fallback) const;

    QwtLegend* m_legend = nullptr;
    QwtPlotGrid* m_grid = nullptr;
    QVector<GraphLine*> m_lines;
    e_AxisScaleType m_axisXScale = Linear;
    e_AxisScaleType m_axisYScale = Linear;
    bool m_titleShow = true;
    bool m_legendShow = false;
    QString m_title;
    QMenu* m_contextMenu = nullptr;
    QVector<double> m_xList;
    QVector<QVector<double>> m_matrix;
    QVector<QwtPlotCurve*> m_matrixCurves;
    QwtPlotMarker* m_cursor = nullptr;
    QwtPlotTextLabel* m_xAxisTitle = nullptr;
    bool m_clampEnabled = false;
    double m_clampLow = 0.0;
    double m_clampHigh = 0.0;
};
