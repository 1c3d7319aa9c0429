#pragma once
// The few controls of the window that Qt has no exact counterpart for: the rounded-rectangle
// shape (status lamp, matrix cells), the radio group whose index change is its click, the spin
// edit that takes any typed text, the read-only field with its caption above it, and the status
// bar that reports a click. Each keeps its component name as the object name.

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/window/Czcionki.h"

class QFileDialog;
class QRadioButton;

namespace tolvak::okno {

/// A filled rounded rectangle with a one-pixel black outline; a press of any mouse button calls
/// OnMouseDown.
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent);
    void SetKolor(QColor kolor);
    QColor Kolor() const { return kolor_; }
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    std::function<void(TShape*)> OnMouseDown;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    QColor kolor_{0, 128, 0};
    int tag_ = 0;
};

/// A group of radio buttons laid out in columns. Every change of the selected item, by a click
/// or by SetItemIndex, emits Click once; choosing the selected item again emits nothing.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    /// The items are named `name` + "Item" + index ("RadioGroup2Item4").
    TRadioGroup(QWidget* parent, const char* name, const QString& caption,
                const QStringList& items, int columns = 1);
    int ItemIndex() const { return index_; }
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const { return items_.at(static_cast<size_t>(index)); }
    int Count() const { return static_cast<int>(items_.size()); }

signals:
    void Click();

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void Rozmiesc();
    std::vector<QRadioButton*> items_;
    int columns_;
    int index_ = -1;
};

/// A spin edit whose field takes any typed integer or text: Value() is the typed integer, or
/// the lower limit when the text is not a number. Emits Change on every change of the text.
/// The arrows, the arrow keys and the wheel stay within the limits.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    TSpinEdit(QWidget* parent, int minValue, int maxValue);
    int Value() const;
    void SetValue(int value);
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }

signals:
    void Change();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;
    int valueFromText(const QString& text) const override;

private:
    int min_, max_;
    int tag_ = 0;
};

/// An edit with its caption above it (object name of the edit: the component name; of the
/// caption: the component name + "Label").
QLineEdit* LabeledEdit(QWidget* parent, const char* name, const QRect& geometry,
                       const QString& caption, bool readOnly);

/// A file open dialog of Qt's own (so that it looks the same everywhere and can be driven in
/// tests), shown by exec().
QFileDialog* DialogOtwarcia(QWidget* parent, const char* name, const QString& title,
                            const QStringList& filters, bool tylkoIstniejace);

/// The status bar with one panel at least `panelWidth` wide and, beside it, the missed-hour alarm in red;
/// a click emits Clicked.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    TStatusBar(QWidget* parent, int panelWidth);
    QString PanelText() const;
    void SetPanelText(const QString& text);
    /// The whole text; the panel shows it cut with "…" where it is too long for the bar, and
    /// the bar's tooltip can carry it whole.
    QString AlarmText() const;
    void SetAlarmText(const QString& text);
    /// Red for a failure or a missed hour, amber for a warning alone.
    void SetAlarmKolor(bool czerwony);

signals:
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent*) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void PokazAlarm();
    QLabel* panel_;
    QLabel* alarm_;
    QString alarmText_;
};

}  // namespace tolvak::okno
