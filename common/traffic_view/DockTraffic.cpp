#include "DockTraffic.h"

#include "TrafficModel.h"
#include "TrafficQueue.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QStaticText>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

using traffic::TSeverity;
using traffic::TTrafficDecoder;
using traffic::TTrafficModel;

namespace {

template <class T>
T* named(T* object, const char* name) {
    object->setObjectName(QLatin1String(name));
    return object;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t), float(a.greenF() * (1 - t) + b.greenF() * t),
                            float(a.blueF() * (1 - t) + b.blueF() * t));
}

QString defaultSaveFile(QWidget* parent, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Сохранить обмен"), suggested,
                                        QStringLiteral("Текстовые файлы (*.txt);;Все файлы (*)"));
}

} // namespace

// Laid-out cell texts by text, room and font; the visible rows' texts are laid out once, not per repaint.
struct TTrafficDelegate::Texts {
    struct Key {
        QString text;
        int width = 0;
        int font = 0; // 0 plain, 1 bold, 2 fixed pitch

        friend bool operator==(const Key&, const Key&) = default;
        friend size_t qHash(const Key& k, size_t seed = 0) { return qHashMulti(seed, k.text, k.width, k.font); }
    };
    static constexpr int Limit = 4000; // a few screens of cells
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QHash<Key, QStaticText> laid;
};

TTrafficDelegate::TTrafficDelegate(QObject* parent) : QStyledItemDelegate(parent), FTexts(std::make_unique<Texts>()) {}

TTrafficDelegate::~TTrafficDelegate() = default;

QColor TTrafficDelegate::SeverityBackground(const QPalette& palette, TSeverity severity) {
    if (severity == TSeverity::Ok)
        return {};
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const bool dark = base.lightnessF() < 0.5;
    // A tint of the base colour keeps the palette's text colour readable on it in light and dark schemes.
    const QColor accent = severity == TSeverity::Failed ? QColor(215, 38, 38) : QColor(224, 150, 0);
    return mix(base, accent, dark ? 0.38 : 0.24);
}

void TTrafficDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const auto severity = TSeverity(index.data(TTrafficModel::SeverityRole).toInt());
    const QColor tint = SeverityBackground(option->palette, severity);
    if (tint.isValid()) {
        option->backgroundBrush = tint;
        // The alternate base would otherwise show through on every other row.
        option->features &= ~QStyleOptionViewItem::Alternate;
    }
    if (index.column() == TTrafficDecoder::ColBytes)
        option->font = FTexts->fixed;
    else if (severity == TSeverity::Failed && index.column() == TTrafficDecoder::ColVerdict)
        option->font.setBold(true);
}

void TTrafficDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    // The view has painted the base or alternate base of the row already.
    if (selected)
        painter->fillRect(opt.rect, opt.palette.brush(group, QPalette::Highlight));
    else if (opt.backgroundBrush.style() != Qt::NoBrush)
        painter->fillRect(opt.rect, opt.backgroundBrush);
    if (opt.text.isEmpty())
        return;

    const int margin = 4;
    const QRect room = opt.rect.adjusted(margin, 0, -margin, 0);
    if (room.width() <= 0)
        return;
    const int fontKind = index.column() == TTrafficDecoder::ColBytes ? 2 : opt.font.bold() ? 1 : 0;
    Texts::Key key{opt.text, room.width(), fontKind};
    auto it = FTexts->laid.find(key);
    if (it == FTexts->laid.end()) {
        if (FTexts->laid.size() >= Texts::Limit)
            FTexts->laid.clear();
        QStaticText laid(QFontMetrics(opt.font).elidedText(opt.text, Qt::ElideRight, room.width()));
        laid.setTextFormat(Qt::PlainText);
        laid.setPerformanceHint(QStaticText::AggressiveCaching);
        laid.prepare(QTransform(), opt.font);
        it = FTexts->laid.insert(key, laid);
    }
    const QSizeF size = it->size();
    const qreal x = (opt.displayAlignment & Qt::AlignRight) ? room.right() + 1 - size.width() : room.left();
    const qreal y = room.top() + (room.height() - size.height()) / 2;
    // The text is cut to the room already, so no clipping; the view sets font and pen for every cell.
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawStaticText(QPointF(x, y), *it);
}

TDockTraffic::TDockTraffic(QWidget* parent) : QDockWidget(QStringLiteral("Обмен"), parent) {
    setObjectName(QStringLiteral("DockTraffic"));
    FModel = named(new TTrafficModel(this), "ModelTraffic");
    FQueue = named(new traffic::TTrafficQueue(FModel, traffic::TTrafficQueue::DefaultIntervalMs, this), "QueueTraffic");
    FChooser = defaultSaveFile;

    auto* panel = named(new QWidget(this), "PanelTraffic");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    BuildToolBar();
    BuildTable();
    layout->addWidget(FToolBar);
    layout->addWidget(FTable, 1);
    setWidget(panel);

    connect(FModel, &TTrafficModel::CountsChanged, this, &TDockTraffic::UpdateCounts);
    connect(FModel, &TTrafficModel::FunctionSeen, this, &TDockTraffic::AddFunctionItem);
    connect(FModel, &QAbstractItemModel::modelReset, this, &TDockTraffic::UpdateCounts);
    UpdateCounts();
}

TDockTraffic::~TDockTraffic() {
    Listen(false);
}

void TDockTraffic::BuildToolBar() {
    FToolBar = named(new QToolBar(this), "ToolBarTraffic");
    FToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    FToolBar->setIconSize(QSize(16, 16));

    auto make = [this](const char* name, const QString& caption, const QString& hint) {
        auto* a = named(new QAction(caption, this), name);
        a->setToolTip(hint);
        a->setStatusTip(hint);
        return a;
    };
    FActionPause = make("ActionTrafficPause", QStringLiteral("Пауза"),
                        QStringLiteral("Остановить список (кадры считаются, но не показываются)"));
    FActionPause->setCheckable(true);
    FActionClear = make("ActionTrafficClear", QStringLiteral("Очистить"), QStringLiteral("Очистить список"));
    FActionCopy = make("ActionTrafficCopy", QStringLiteral("Копировать"),
                       QStringLiteral("Копировать выделенные строки как текст"));
    FActionCopy->setShortcut(QKeySequence::Copy);
    FActionCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    FActionCopy->setEnabled(false);
    FActionSave = make("ActionTrafficSave", QStringLiteral("Сохранить..."),
                       QStringLiteral("Сохранить показанные строки в текстовый файл"));

    FToolBar->addAction(FActionPause);
    FToolBar->addAction(FActionClear);
    FToolBar->addSeparator();

    FToolBar->addWidget(named(new QLabel(QStringLiteral(" Адрес: "), FToolBar), "LabelTrafficAddress"));
    FAddress = named(new QSpinBox(FToolBar), "SpinBoxTrafficAddress");
    FAddress->setRange(0, modbus::MaxSlaveAddress);
    FAddress->setSpecialValueText(QStringLiteral("все"));
    FAddress->setToolTip(QStringLiteral("Показывать обмен только с этим адресом"));
    FToolBar->addWidget(FAddress);

    FToolBar->addWidget(named(new QLabel(QStringLiteral(" Функция: "), FToolBar), "LabelTrafficFunction"));
    FFunction = named(new QComboBox(FToolBar), "ComboBoxTrafficFunction");
    FFunction->addItem(QStringLiteral("все"), -1);
    FFunction->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    FFunction->setToolTip(QStringLiteral("Показывать только запросы этой функции и ответы на них"));
    FToolBar->addWidget(FFunction);
    FToolBar->addSeparator();

    FToolBar->addAction(FActionCopy);
    FToolBar->addAction(FActionSave);
    FToolBar->addSeparator();
    FCounts = named(new QLabel(FToolBar), "LabelTrafficCount");
    // Wide enough for the usual counts, so a new count does not lay the tool bar out again.
    FCounts->setMinimumWidth(FCounts->fontMetrics().horizontalAdvance(QStringLiteral(" Кадров: 10 000 из 10 000; пауза ")));
    FToolBar->addWidget(FCounts);
    FSaved = named(new QLabel(FToolBar), "LabelTrafficSaved");
    FToolBar->addWidget(FSaved);

    connect(FActionPause, &QAction::toggled, FModel, &TTrafficModel::SetPaused);
    connect(FActionClear, &QAction::triggered, FModel, &TTrafficModel::Clear);
    connect(FActionCopy, &QAction::triggered, this, &TDockTraffic::CopySelection);
    connect(FActionSave, &QAction::triggered, this, &TDockTraffic::SaveView);
    connect(FAddress, &QSpinBox::valueChanged, FModel, &TTrafficModel::SetAddressFilter);
    connect(FFunction, &QComboBox::currentIndexChanged, this,
            [this](int i) { FModel->SetFunctionFilter(FFunction->itemData(i).toInt()); });
}

void TDockTraffic::BuildTable() {
    FTable = named(new QTableView(this), "TableTraffic");
    FTable->setModel(FModel);
    FTable->setItemDelegate(new TTrafficDelegate(FTable));
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTable->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    FTable->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    FTable->setWordWrap(false);
    FTable->setAlternatingRowColors(true);
    FTable->setShowGrid(false);
    FTable->setSortingEnabled(false);

    // Fixed row heights and column widths: nothing is measured over ten thousand rows.
    const QFontMetrics fm(FTable->font());
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QHeaderView* rows = FTable->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(fm.height(), fixed.height()) + 6);
    QHeaderView* cols = FTable->horizontalHeader();
    cols->setSectionResizeMode(QHeaderView::Interactive);
    cols->setStretchLastSection(false);
    cols->setHighlightSections(false);
    cols->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int pad = 18;
    auto width = [&](const QString& s) { return fm.horizontalAdvance(s) + pad; };
    FTable->setColumnWidth(TTrafficDecoder::ColTime, width(QStringLiteral("00:00:00.000")));
    FTable->setColumnWidth(TTrafficDecoder::ColDirection, width(QStringLiteral("Запрос, попытка 2")));
    FTable->setColumnWidth(TTrafficDecoder::ColAddress, width(QStringLiteral("Адрес")));
    FTable->setColumnWidth(TTrafficDecoder::ColFunction, width(QStringLiteral("3 Чтение регистров (исключение)")));
    // Room for a short frame; longer ones are cut with an ellipsis and shown whole in the tool tip.
    FTable->setColumnWidth(TTrafficDecoder::ColBytes, fixed.horizontalAdvance(QString(13 * 3, QLatin1Char('0'))));
    FTable->setColumnWidth(TTrafficDecoder::ColMs, width(QStringLiteral("00000")));
    cols->setSectionResizeMode(TTrafficDecoder::ColVerdict, QHeaderView::Stretch);
    FTable->setMinimumWidth(400);

    FTable->addAction(FActionCopy);
    FTable->addAction(FActionSave);
    FTable->setContextMenuPolicy(Qt::ActionsContextMenu);

    // Follow the newest row while the list is scrolled to its end; a user who scrolls up stays where he is,
    // also while the oldest rows are dropped.
    QScrollBar* bar = FTable->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int v) { FFollow = v >= bar->maximum(); });
    // Once per turn of the event loop, however many rows came: scrolling lays the list out.
    connect(FModel, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!FFollow || FScrollPosted)
            return;
        FScrollPosted = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                FScrollPosted = false;
                if (FFollow)
                    FTable->scrollToBottom();
            },
            Qt::QueuedConnection);
    });
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, [this, bar](const QModelIndex&, int first, int last) {
        if (!FFollow && first == 0)
            bar->setValue(std::max(bar->value() - (last - first + 1), 0));
    });
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
        FFollow = true;
        FTable->scrollToBottom();
    });
    connect(FTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { FActionCopy->setEnabled(FTable->selectionModel()->hasSelection()); });
}

void TDockTraffic::SetTap(traffic::TTrafficTap* tap) {
    Listen(false);
    FTap = tap;
    if (!isHidden())
        Listen(true);
}

void TDockTraffic::Listen(bool on) {
    if (!FTap || on == FListening)
        return;
    if (on) {
        FTap->AddObserver(FQueue);
    } else {
        FTap->RemoveObserver(FQueue);
        FQueue->Drain(); // what came before the dock closed still belongs in the list
    }
    FListening = on;
}

bool TDockTraffic::event(QEvent* e) {
    const bool handled = QDockWidget::event(e);
    if (e->type() == QEvent::Show)
        Listen(true);
    else if (e->type() == QEvent::Hide && isHidden()) // closed, not merely minimised with its window
        Listen(false);
    return handled;
}

void TDockTraffic::SetSaveFileChooser(SaveFileChooser chooser) {
    FChooser = chooser ? std::move(chooser) : SaveFileChooser(defaultSaveFile);
}

void TDockTraffic::UpdateCounts() {
    const QLocale loc;
    QString text = QStringLiteral(" Кадров: ") + loc.toString(FModel->FrameCount()) + QStringLiteral(" из ") +
                   loc.toString(FModel->MaxFrames());
    if (FModel->rowCount() != FModel->FrameCount())
        text += QStringLiteral(", показано ") + loc.toString(FModel->rowCount());
    if (FModel->Paused())
        text += QStringLiteral("; пауза");
    if (FModel->SkippedFrames() > 0)
        text += QStringLiteral("; пропущено: ") + loc.toString(FModel->SkippedFrames());
    FCounts->setText(text);
}

void TDockTraffic::AddFunctionItem(std::uint8_t funcCode, traffic::TGeneration generation) {
    if (FFunction->findData(int(funcCode)) >= 0)
        return;
    int at = 1;
    while (at < FFunction->count() && FFunction->itemData(at).toInt() < funcCode)
        ++at;
    // Inserting before the current item moves it; the filter itself does not change.
    const QSignalBlocker block(FFunction);
    FFunction->insertItem(at, TTrafficDecoder::FunctionText(generation, funcCode), int(funcCode));
}

QString TDockTraffic::SelectedText() const {
    QList<int> rows;
    for (const QModelIndex& i : FTable->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    return FModel->RowsText(rows);
}

void TDockTraffic::CopySelection() {
    const QString text = SelectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

bool TDockTraffic::SaveView() {
    const QString suggested = QDir::home().filePath(
        QStringLiteral("Обмен ") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh-mm-ss")) +
        QStringLiteral(".txt"));
    const QString path = FChooser(this, suggested);
    if (path.isEmpty())
        return false;
    QString error;
    if (!FModel->SaveView(path, &error)) {
        FSaved->setText(QStringLiteral("; не удалось сохранить ") + QFileInfo(path).fileName() +
                        QStringLiteral(": ") + error);
        return false;
    }
    FSaved->setText(QStringLiteral("; сохранено в ") + QFileInfo(path).fileName());
    return true;
}

QAction* CreateActionTraffic(TDockTraffic* dock) {
    QAction* a = dock->toggleViewAction();
    a->setObjectName(QStringLiteral("ActionTraffic"));
    a->setText(QStringLiteral("Обмен"));
    a->setToolTip(QStringLiteral("Показать или скрыть обмен по линии"));
    a->setStatusTip(QStringLiteral("Показать или скрыть обмен по линии"));
    return a;
}

TDockTraffic* AddFloatingTrafficDock(QMainWindow* window, traffic::TTrafficTap* tap) {
    auto* dock = new TDockTraffic(window);
    dock->SetTap(tap);
    window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->setFloating(true);
    dock->hide();
    // Opened the first time below the window, wide enough for its columns, or where it fits when the
    // window sits low on the screen.
    QObject::connect(dock, &QDockWidget::visibilityChanged, dock, [dock, window](bool visible) {
        if (!visible || !dock->isFloating() || dock->property("placed").toBool())
            return;
        dock->setProperty("placed", true);
        dock->resize(1100, 340);
        const QRect frame = window->frameGeometry();
        QPoint at(frame.left(), frame.bottom() + 4);
        if (const QScreen* screen = window->screen()) {
            const QRect room = screen->availableGeometry();
            dock->resize(std::min(dock->width(), room.width()), dock->height());
            if (at.y() + dock->height() > room.bottom())
                at.setY(std::max(room.top(), room.bottom() - dock->height()));
            at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - dock->width())));
        }
        dock->move(at);
    });
    return dock;
}
