#pragma once

#include <QMargins>
#include <QObject>

#include <memory>

class FramelessHelperPrivate;
class QWidget;

// Makes a frameless top-level widget behave like a framed window: resize
// borders, a caption to drag by (its buttons and other controls excluded),
// double-click maximise, and the actions of its own title-bar buttons.
// Lives as a child of the window it serves.
class FramelessHelper : public QObject
{
    Q_OBJECT

public:
    explicit FramelessHelper(QWidget* parent);
    ~FramelessHelper() override;

    void setDraggableMargins(int left, int top, int right, int bottom);
    void setDraggableMargins(const QMargins& margins);
    QMargins draggableMargins() const;
    void setMaximizedMargins(int left, int top, int right, int bottom);
    void setMaximizedMargins(const QMargins& margins);
    QMargins maximizedMargins() const;

    int titleBarHeight() const;
    double scaleFactor() const;
    bool isMaximized() const;

    // Counts as caption even on the title bar's controls.
    void addCaptionWidget(QWidget* widget);
    void removeCaptionWidget(QWidget* widget);
    // Never counts as caption, nor do the widgets in it.
    void addExcludedWidget(QWidget* widget);
    void removeExcludedWidget(QWidget* widget);

public slots:
    // Where the caption ends, in the window's own coordinates.
    void setTitleBarHeight(int value);
    void triggerMinimizeButtonAction();
    void triggerMaximizeButtonAction();
    void triggerCloseButtonAction();

signals:
    void titleBarHeightChanged(int newValue);
    void scaleFactorChanged(double factor);
    void maximizedChanged(bool maximized);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attachNativeHelper();

    std::unique_ptr<FramelessHelperPrivate> d;
};
