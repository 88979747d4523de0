#include "ui/qt/qt_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDropEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <stdexcept>

#include "ui/qt/accessible.h"
#include "ui/qt/look.h"
#include "ui/qt/qt_progress_bar.h"

namespace vagliante::ui::qt {
namespace {

Qt::WindowFlags FlagsFor(Border border) {
    const Qt::WindowFlags fixed = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                  Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    switch (border) {
        case Border::FixedSingle:
            return Qt::Window | fixed | Qt::WindowSystemMenuHint;
        case Border::FixedToolWindow:
            return Qt::Tool | fixed;
        case Border::FixedDialog:
            return Qt::Dialog | fixed | Qt::WindowSystemMenuHint;
    }
    return Qt::Window | fixed;
}

QWidget* MakeControl(const ControlDesign& design, QWidget* parent) {
    const QString caption = ToQt(design.caption);
    QWidget* widget = nullptr;
    switch (design.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(caption, parent);
            if (design.align == Align::Centre) label->setAlignment(Qt::AlignCenter);
            widget = label;
            break;
        }
        case ControlKind::TextBox:
            widget = new QLineEdit(caption, parent);
            break;
        case ControlKind::Button: {
            // A push button that is no default button: Enter in a text box
            // and Esc press none (Enter on the button itself presses it,
            // see QtForm::eventFilter).
            auto* button = new QPushButton(caption, parent);
            button->setAutoDefault(false);
            button->setDefault(false);
            widget = button;
            break;
        }
        case ControlKind::OptionButton: {
            auto* option = new QRadioButton(caption, parent);
            option->setChecked(design.selected);
            widget = option;
            break;
        }
        case ControlKind::Frame:
            widget = new QGroupBox(caption, parent);
            break;
        case ControlKind::ProgressBar:
            widget = new QtProgressBar(parent);
            break;
    }
    widget->setObjectName(ToQt(design.name));
    widget->setGeometry(Px(design.left), Px(design.top), Px(design.width), Px(design.height));
    if (design.font) {
        QFont font(ToQt(design.font->face));
        font.setPointSizeF(design.font->points);
        font.setBold(design.font->bold);
        widget->setFont(font);
    }
    if (design.colour != kBlack || design.font) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText,
                         QColor(design.colour.red, design.colour.green, design.colour.blue));
        widget->setPalette(palette);
    }
    return widget;
}

// The address of the first file a drag carries, or nothing.
std::optional<std::string> DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return std::nullopt;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return FromQt(url.toString(QUrl::FullyEncoded));
    return std::nullopt;
}

}  // namespace

QtForm::QtForm(Form& form) : form_(form) {
    const FormDesign& design = form.Design();
    setObjectName(ToQt(design.name));
    setWindowFlags(FlagsFor(design.border));
    setWindowTitle(ToQt(design.title));
    SetWindowRole(this, design.border != Border::FixedSingle);
    if (design.icon) setWindowIcon(AppIcon());
    setFont(FormFont());
    setAcceptDrops(!design.dropBox.empty());
}

std::unique_ptr<QtForm> QtForm::Create(Form& form) {
    std::unique_ptr<QtForm> window(new QtForm(form));
    window->Build();
    form.Attach(window.get());
    form.Form_Load();
    return window;
}

QtForm::~QtForm() { form_.Attach(nullptr); }

void QtForm::Build() {
    const FormDesign& design = form_.Design();
    QMenuBar* bar = nullptr;
    if (!design.menu.empty()) {
        bar = new QMenuBar(this);
        BuildMenu(bar);
        menuBar_ = bar;
    }
    const int barHeight = bar ? bar->sizeHint().height() : 0;
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setGeometry(0, barHeight, Px(design.width), Px(design.height));
    if (bar) bar->setGeometry(0, 0, client_->width(), barHeight);
    setFixedSize(client_->width(), client_->height() + barHeight);

    // Frames first, so that the controls inside them have their parent.
    for (const ControlDesign& control : design.controls)
        if (control.kind == ControlKind::Frame)
            controls_[std::string(control.name)] = MakeControl(control, client_);
    for (const ControlDesign* control : CreationOrder(design)) {
        if (control->kind == ControlKind::Frame) continue;
        QWidget* parent = control->container.empty() ? client_ : Widget(control->container);
        QWidget* widget = MakeControl(*control, parent);
        controls_[std::string(control->name)] = widget;
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            const std::string name(control->name);
            connect(button, &QPushButton::clicked, this, [this, name] { session_.Click(name); });
            button->installEventFilter(this);  // Enter
        }
        // A file dropped on a box: its path, not the text of its address.
        if (qobject_cast<QLineEdit*>(widget)) widget->installEventFilter(this);
    }

    // A box is named by its label (its buddy, which AT-SPI tells as the
    // box's "labelled by"); a control whose caption says too little, by
    // its accessible name.
    for (const ControlDesign& control : design.controls) {
        SetAccessible(Widget(control.name), control.accessible);
        if (!control.accessible.labelFor.empty())
            if (auto* label = qobject_cast<QLabel*>(Widget(control.name)))
                label->setBuddy(Widget(control.accessible.labelFor));
    }

    const std::vector<const ControlDesign*> order = TabOrder(design);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(Widget(order[i - 1]->name), Widget(order[i]->name));
    if (!order.empty()) Widget(order.front()->name)->setFocus();
}

void QtForm::BuildMenu(QMenuBar* bar) {
    for (const MenuDesign& entry : form_.Design().menu) {
        const std::string entryName(entry.name);
        if (entry.items.empty()) {
            QAction* action = bar->addAction(ToQt(entry.caption));
            action->setObjectName(ToQt(entry.name));
            SetAccessible(action, entry.accessible);
            connect(action, &QAction::triggered, this,
                    [this, entryName] { session_.Click(entryName); });
            continue;
        }
        QMenu* menu = bar->addMenu(ToQt(entry.caption));
        menu->setObjectName(ToQt(entry.name));
        SetAccessible(menu->menuAction(), entry.accessible);
        for (const MenuItemDesign& item : entry.items) {
            const std::string itemName(item.name);
            QAction* action = menu->addAction(ToQt(item.caption));
            action->setObjectName(ToQt(item.name));
            connect(action, &QAction::triggered, this,
                    [this, itemName] { session_.Click(itemName); });
        }
    }
}

QWidget* QtForm::Widget(std::string_view control) const {
    auto found = controls_.find(control);
    if (found == controls_.end())
        throw std::out_of_range("no control " + std::string(control) + " in " +
                                std::string(form_.Design().name));
    return found->second;
}

std::string QtForm::NameOf(QWidget* widget) const {
    for (; widget && widget != this; widget = widget->parentWidget())
        for (const auto& [name, control] : controls_)
            if (control == widget) return name;
    return {};
}

std::string QtForm::Title() const { return FromQt(windowTitle()); }

void QtForm::SetTitle(std::string_view title) { setWindowTitle(ToQt(title)); }

std::string QtForm::Text(std::string_view control) const {
    QWidget* widget = Widget(control);
    if (auto* box = qobject_cast<QLineEdit*>(widget)) return FromQt(box->text());
    if (auto* label = qobject_cast<QLabel*>(widget)) return FromQt(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return FromQt(button->text());
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) return FromQt(frame->title());
    return {};
}

void QtForm::SetText(std::string_view control, std::string_view text) {
    QWidget* widget = Widget(control);
    if (auto* box = qobject_cast<QLineEdit*>(widget))
        box->setText(ToQt(text));
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(ToQt(text));
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(ToQt(text));
    else if (auto* frame = qobject_cast<QGroupBox*>(widget))
        frame->setTitle(ToQt(text));
}

bool QtForm::Selected(std::string_view option) const {
    auto* button = qobject_cast<QRadioButton*>(Widget(option));
    return button && button->isChecked();
}

ProgressBar& QtForm::Bar(std::string_view control) {
    auto* bar = qobject_cast<QtProgressBar*>(Widget(control));
    if (!bar) throw std::out_of_range(std::string(control) + " is no progress bar");
    return bar->Model();
}

std::optional<std::string> QtForm::ShowFileDialog(const FileDialogRequest& request) {
    return qt::ShowFileDialog(this, request);
}

void QtForm::ShowMessage(const Message& message) { qt::ShowMessage(this, message); }

bool QtForm::ControlEnabled(std::string_view control) const { return Widget(control)->isEnabled(); }

void QtForm::EnableControl(std::string_view control, bool enabled) {
    Widget(control)->setEnabled(enabled);
}

void QtForm::EnableMenu(bool enabled) {
    if (menuBar_) menuBar_->setEnabled(enabled);
}

std::string QtForm::FocusedControl() const { return NameOf(QApplication::focusWidget()); }

void QtForm::FocusControl(std::string_view control) {
    (control.empty() ? client_ : Widget(control))->setFocus();
}

void QtForm::ShowBusyCursor(bool busy) {
    // Busy, yet the user may still click: the arrow with the hourglass.
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

void QtForm::PumpEventsUntil(const std::atomic<bool>& done) {
    // The loop also ends when the application quits (as at the end of the
    // desktop session): the session stops the run then.
    QEventLoop loop;
    connect(this, &QtForm::woken, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    if (!done) loop.exec();
}

bool QtForm::UnderModal() const {
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != this;
}

std::unique_ptr<LoadedForm> QtForm::Load(Form& form) {
    std::unique_ptr<QtForm> window = Create(form);
    window->opener_ = this;
    return window;
}

void QtForm::ShowModal() {
    setWindowModality(Qt::ApplicationModal);
    // Owned by the window that opened it: no task bar entry of its own, and
    // kept above that window.
    if (opener_) {
        winId();
        if (windowHandle() && opener_->windowHandle())
            windowHandle()->setTransientParent(opener_->windowHandle());
    }
    QEventLoop loop;
    connect(this, &QtForm::closed, &loop, &QEventLoop::quit);
    show();
    if (isVisible()) loop.exec(QEventLoop::DialogExec);
}

bool QtForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) session_.Activate();
    return QWidget::event(event);
}

void QtForm::showEvent(QShowEvent* event) {
    // Some platforms (offscreen among them) deliver no activation to a new
    // window, so the form's activation runs on the first showing as well.
    QWidget::showEvent(event);
    // The focus shown from the start, not only once the user has pressed
    // Tab: the style draws it in a window that has had a keyboard focus
    // change, which showing the window clears.
    setAttribute(Qt::WA_KeyboardFocusChange);
    if (shown_) return;
    shown_ = true;
    session_.Activate();
    CentreOnScreen(this);
    const std::vector<const ControlDesign*> order = TabOrder(form_.Design());
    if (!order.empty()) Widget(order.front()->name)->setFocus();
}

void QtForm::closeEvent(QCloseEvent* event) {
    if (!session_.MayClose()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

bool QtForm::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::KeyPress:
            if (auto* button = qobject_cast<QPushButton*>(watched)) {
                // Enter on a focused button presses it, as Space does; a key
                // held down presses it once.
                auto* key = static_cast<QKeyEvent*>(event);
                const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
                if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                    if (!key->isAutoRepeat()) button->click();
                    return true;
                }
            }
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            // A box takes the files this window takes; other drags (text)
            // stay the box's own affair.
            auto* drag = static_cast<QDropEvent*>(event);
            if (!qobject_cast<QLineEdit*>(watched) || !DroppedFile(drag->mimeData())) break;
            AnswerDrag(drag, widget, event->type() == QEvent::Drop);
            return true;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void QtForm::AnswerDrag(QDropEvent* event, QWidget* on, bool drop) {
    const std::optional<std::string> file = DroppedFile(event->mimeData());
    if (file && (drop ? session_.Drop(NameOf(on), *file) : session_.TakesDrops()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void QtForm::dragEnterEvent(QDragEnterEvent* event) { AnswerDrag(event, nullptr, false); }

void QtForm::dragMoveEvent(QDragMoveEvent* event) { AnswerDrag(event, nullptr, false); }

void QtForm::dropEvent(QDropEvent* event) {
    AnswerDrag(event, childAt(event->position().toPoint()), true);
}

}  // namespace vagliante::ui::qt
