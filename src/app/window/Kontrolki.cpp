#include "app/window/Kontrolki.h"

#include <QFileDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace tolvak::okno {

// ---- TShape ----

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetKolor(QColor kolor) {
    if (kolor == kolor_) return;
    kolor_ = kolor;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(kolor_);
    // The corner radius of the workstation's rounded shape: a quarter of the shorter side.
    const qreal r = std::min(width(), height()) / 4.0;
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), r, r);
}

void TShape::mousePressEvent(QMouseEvent* e) {
    e->accept();
    if (OnMouseDown) OnMouseDown(this);
}

// ---- TRadioGroup ----

TRadioGroup::TRadioGroup(QWidget* parent, const char* name, const QString& caption,
                         const QStringList& items, int columns)
    : QGroupBox(caption, parent), columns_(std::max(columns, 1)) {
    setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(objectName() + QStringLiteral("Item") + QString::number(i));
        b->setAutoExclusive(true);
        connect(b, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && index_ != i) {
                index_ = i;
                emit Click();
            }
        });
        items_.push_back(b);
    }
    Rozmiesc();
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < 0 || index >= Count() || index == index_) return;
    items_[static_cast<size_t>(index)]->setChecked(true);  // toggled → Click
}

void TRadioGroup::resizeEvent(QResizeEvent* e) {
    QGroupBox::resizeEvent(e);
    Rozmiesc();
}

void TRadioGroup::Rozmiesc() {
    // Items fill the area under the caption column by column, evenly spaced.
    if (items_.empty()) return;
    const int rows = (Count() + columns_ - 1) / columns_;
    const int top = 16, left = 6;
    const int colWidth = (width() - 2 * left) / columns_;
    const int rowHeight = std::max((height() - top - 4) / rows, 1);
    for (int i = 0; i < Count(); ++i) {
        const int col = i / rows, row = i % rows;
        const int h = std::min(rowHeight, 17);
        items_[static_cast<size_t>(i)]->setGeometry(left + col * colWidth,
                                                    top + row * rowHeight + (rowHeight - h) / 2,
                                                    colWidth - 4, h);
    }
}

// ---- TSpinEdit ----

TSpinEdit::TSpinEdit(QWidget* parent, int minValue, int maxValue)
    : QSpinBox(parent), min_(minValue), max_(maxValue) {
    // The field itself never clamps what is typed: the change handler decides what counts.
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    QSpinBox::setValue(0);
    connect(this, &QSpinBox::textChanged, this, [this] { emit Change(); });
}

int TSpinEdit::Value() const {
    bool ok = false;
    const int v = lineEdit()->text().trimmed().toInt(&ok);
    return ok ? v : min_;
}

void TSpinEdit::SetValue(int value) { QSpinBox::setValue(value); }

QValidator::State TSpinEdit::validate(QString& input, int&) const {
    static const QRegularExpression liczba(QStringLiteral("^\\s*[-+]?\\d{0,9}\\s*$"));
    return liczba.match(input).hasMatch() ? QValidator::Acceptable : QValidator::Invalid;
}

void TSpinEdit::fixup(QString&) const {}

void TSpinEdit::stepBy(int steps) {
    // The field's own range is unbounded so that typing is never clamped; stepping is.
    const int64_t v = std::clamp<int64_t>(int64_t{Value()} + steps, min_, max_);
    QSpinBox::setValue(static_cast<int>(v));
    selectAll();
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
    StepEnabled s = StepNone;
    if (Value() > min_) s |= StepDownEnabled;
    if (Value() < max_) s |= StepUpEnabled;
    return s;
}

int TSpinEdit::valueFromText(const QString& text) const {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : min_;
}

// ---- LabeledEdit ----

QLineEdit* LabeledEdit(QWidget* parent, const char* name, const QRect& geometry,
                       const QString& caption, bool readOnly) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(geometry);
    e->setReadOnly(readOnly);
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
    // The caption sits above the edit, 3 pixels apart, as the workstation's labelled edit.
    l->setGeometry(geometry.left(), geometry.top() - 16, geometry.width(), 13);
    l->setBuddy(e);
    return e;
}

// ---- DialogOtwarcia ----

QFileDialog* DialogOtwarcia(QWidget* parent, const char* name, const QString& title,
                            const QStringList& filters, bool tylkoIstniejace) {
    auto* d = new QFileDialog(parent, title);
    d->setObjectName(QString::fromLatin1(name));
    d->setNameFilters(filters);
    d->setFileMode(tylkoIstniejace ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    d->setAcceptMode(QFileDialog::AcceptOpen);
    d->setOption(QFileDialog::DontUseNativeDialog);
    // The filters read as their descriptions, without the patterns repeated after them.
    d->setOption(QFileDialog::HideNameFilterDetails);
    return d;
}

// ---- TStatusBar ----

TStatusBar::TStatusBar(QWidget* parent, int panelWidth) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    panel_ = new QLabel(this);
    panel_->setObjectName(QStringLiteral("StatusBar1Panel0"));
    // At least the workstation's width; a longer text (the presence test's findings, the
    // closing notice) widens the panel instead of being cut off.
    panel_->setMinimumWidth(panelWidth);
    panel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    addWidget(panel_);
    // Apart from panel 0, which the presence test rewrites every five minutes: the alarm stays
    // until general news is delivered again.
    alarm_ = new QLabel(this);
    alarm_->setObjectName(QStringLiteral("StatusBar1Panel1"));
    alarm_->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); font-weight: bold;"));
    alarm_->setAttribute(Qt::WA_TransparentForMouseEvents);
    addWidget(alarm_, 1);
    alarm_->installEventFilter(this);
}

QString TStatusBar::PanelText() const { return panel_->text(); }

void TStatusBar::SetPanelText(const QString& text) { panel_->setText(text); }

QString TStatusBar::AlarmText() const { return alarmText_; }

void TStatusBar::SetAlarmText(const QString& text) {
    alarmText_ = text;
    PokazAlarm();
}

void TStatusBar::PokazAlarm() {
    // Before the first layout the label has no width yet: the whole text until then.
    const int w = alarm_->width();
    alarm_->setText(w > 0 ? alarm_->fontMetrics().elidedText(alarmText_, Qt::ElideRight, w) : alarmText_);
}

bool TStatusBar::eventFilter(QObject* obj, QEvent* e) {
    if (obj == alarm_ && e->type() == QEvent::Resize) PokazAlarm();
    return QStatusBar::eventFilter(obj, e);
}

void TStatusBar::SetAlarmKolor(bool czerwony) {
    alarm_->setStyleSheet(czerwony ? QStringLiteral("color: rgb(255, 0, 0); font-weight: bold;")
                                   : QStringLiteral("color: rgb(176, 96, 0); font-weight: bold;"));
}

void TStatusBar::mousePressEvent(QMouseEvent* e) {
    QStatusBar::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) emit Clicked();
}

}  // namespace tolvak::okno
