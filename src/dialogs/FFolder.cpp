#include "dialogs/FFolder.h"

#include <QDir>
#include <QFileIconProvider>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include "dialogs/Wyglad.h"
#include "platform/Paths.h"

namespace tolvak {

namespace {
constexpr int RolaSciezki = Qt::UserRole;
constexpr int RolaWczytany = Qt::UserRole + 1;
}  // namespace

TFFolder::TFFolder(QWidget* parent) : QDialog(parent) {
    dialogi::UstawOkno(this, "FFolder", QStringLiteral("Wybierz folder..."), 390, 327);
    ShellTreeView1 = new QTreeWidget(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setGeometry(0, 0, 390, 257);
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setIndentation(19);
    ShellTreeView1->setRootIsDecorated(false);
    ShellTreeView1->setContextMenuPolicy(Qt::PreventContextMenu);

    QFileIconProvider ikony;
    komputer_ = new QTreeWidgetItem(ShellTreeView1, {Komputer});
    komputer_->setIcon(0, ikony.icon(QFileIconProvider::Computer));
    komputer_->setData(0, RolaWczytany, true);
    Wezel(komputer_, QDir::homePath(), QDir::homePath());
    Wezel(komputer_, QDir::rootPath(), QDir::rootPath());
    komputer_->setExpanded(true);
    connect(ShellTreeView1, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* n) { Rozwin(n); });
    connect(ShellTreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* n) { ShellTreeView1Change(n); });

    Label1 = new QLabel(QStringLiteral("Folder..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 263, 374, 13);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(160, 294, 57, 25);
    BitBtn1->setIcon(QIcon(QStringLiteral(":/tolvak/ok.png")));
    BitBtn1->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &TFFolder::BitBtn1Click);
    BitBtn2 = new QPushButton(QStringLiteral("Anuluj"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(223, 294, 75, 25);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

QTreeWidgetItem* TFFolder::Wezel(QTreeWidgetItem* parent, const QString& path, const QString& text) {
    static const QFileIconProvider ikony;
    auto* n = new QTreeWidgetItem(parent, {text});
    n->setData(0, RolaSciezki, path);
    n->setIcon(0, ikony.icon(QFileIconProvider::Folder));
    // Subfolders are read when the node is first opened.
    n->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return n;
}

void TFFolder::Rozwin(QTreeWidgetItem* node) {
    if (!node || node->data(0, RolaWczytany).toBool()) return;
    node->setData(0, RolaWczytany, true);
    const QString path = node->data(0, RolaSciezki).toString();
    const QDir dir(path);
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) Wezel(node, dir.filePath(name), name);
    if (names.isEmpty()) node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void TFFolder::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TFFolder::FormShow() {
    // The tree would take the focus and select its first node, which would overwrite the label.
    BitBtn1->setFocus(Qt::OtherFocusReason);
    // The tree opens at the entry folder, so that a change is not a walk from the top; the
    // label keeps the entry value until the operator selects another node.
    if (!FolderZapisu.isEmpty()) {
        const QSignalBlocker cisza(ShellTreeView1);
        if (QTreeWidgetItem* n = ZaznaczFolder(FolderZapisu))
            ShellTreeView1->scrollToItem(n, QAbstractItemView::PositionAtCenter);
    }
    Label1->setText(FolderZapisu);
}

void TFFolder::ShellTreeView1Change(QTreeWidgetItem* node) {
    if (!node) return;
    const QString path = node->data(0, RolaSciezki).toString();
    Label1->setText(path.isEmpty() ? node->text(0) : path);
}

void TFFolder::BitBtn1Click() {
    if (Label1->text() != Komputer) FolderZapisu = Label1->text();
    FolderZapisu = QString::fromStdString(IncludeTrailingPathSeparator(FolderZapisu.toStdString()));
    accept();
}

bool TFFolder::FormCloseQuery() {
    if (!FolderZapisu.isEmpty()) return true;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Informacja"),
                    QStringLiteral("Folder zapisu nie może być pusty"), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
    return false;
}

void TFFolder::done(int r) {
    if (!FormCloseQuery()) return;
    QDialog::done(r);
}

QTreeWidgetItem* TFFolder::ZaznaczFolder(const QString& folder) {
    const QString cel = QDir::cleanPath(folder);
    QTreeWidgetItem* best = nullptr;
    QString bestPath;
    for (int i = 0; i < komputer_->childCount(); ++i) {
        QTreeWidgetItem* top = komputer_->child(i);
        const QString p = QDir::cleanPath(top->data(0, RolaSciezki).toString());
        const bool prefix = cel == p || cel.startsWith(p.endsWith('/') ? p : p + '/');
        if (prefix && p.size() > bestPath.size()) {
            best = top;
            bestPath = p;
        }
    }
    if (!best) return nullptr;
    QTreeWidgetItem* node = best;
    const QStringList segments = cel.mid(bestPath.size()).split('/', Qt::SkipEmptyParts);
    for (const QString& seg : segments) {
        Rozwin(node);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i)
            if (node->child(i)->text(0) == seg) next = node->child(i);
        if (!next) return nullptr;
        node->setExpanded(true);
        node = next;
    }
    ShellTreeView1->setCurrentItem(node);
    return node;
}

}  // namespace tolvak
