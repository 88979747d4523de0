#include "ui/qt/qt_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
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

#include "ui/qt/busy_run.h"
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

// The first local file a drag carries, or nothing.
std::optional<std::string> DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return std::nullopt;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return FromQt(url.toLocalFile());
    return std::nullopt;
}

}  // namespace

QtForm::QtForm(Form& form) : form_(form) {
    const FormDesign& design = form.Design();
    setObjectName(ToQt(design.name));
    setWindowFlags(FlagsFor(design.border));
    setWindowTitle(ToQt(design.title));
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
            connect(button, &QPushButton::clicked, this, [this, name] { Chosen(name); });
            button->installEventFilter(this);  // Enter
        }
        // A file dropped on a box: its path, not the text of its address.
        if (qobject_cast<QLineEdit*>(widget)) widget->installEventFilter(this);
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
            connect(action, &QAction::triggered, this, [this, entryName] { Chosen(entryName); });
            continue;
        }
        QMenu* menu = bar->addMenu(ToQt(entry.caption));
        menu->setObjectName(ToQt(entry.name));
        for (const MenuItemDesign& item : entry.items) {
            const std::string itemName(item.name);
            QAction* action = menu->addAction(ToQt(item.caption));
            action->setObjectName(ToQt(item.name));
            connect(action, &QAction::triggered, this, [this, itemName] { Chosen(itemName); });
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

void QtForm::Chosen(const std::string& control) {
    form_.Click(control);
    if (closeAfterRun_ && !running_) {
        closeAfterRun_ = false;
        close();
    }
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

void QtForm::RunBusy(const std::function<void()>& work) {
    if (running_) throw std::logic_error("a run started inside another");
    BeginRun();
    try {
        RunWhileBusy(work, [this] { StopRun(); });
    } catch (...) {
        EndRun();
        throw;
    }
    EndRun();
}

void QtForm::BeginRun() {
    running_ = true;
    closeAfterRun_ = false;
    for (const auto& [name, control] : controls_)
        if (auto* bar = qobject_cast<QtProgressBar*>(control)) bar->Model().ClearStop();
    QWidget* focus = QApplication::focusWidget();
    focusBeforeRun_ = focus && isAncestorOf(focus) ? focus : nullptr;
    // The focus off the controls first, so that disabling them does not
    // hand it on to the exit button.
    client_->setFocus();
    const FormDesign& design = form_.Design();
    disabledForRun_.clear();
    for (const ControlDesign& control : design.controls) {
        if (!TakesFocus(control.kind) || control.name == design.exitButton) continue;
        QWidget* widget = Widget(control.name);
        if (!widget->isEnabled()) continue;
        widget->setEnabled(false);
        disabledForRun_.emplace_back(widget);
    }
    if (menuBar_ && menuBar_->isEnabled()) {
        menuBar_->setEnabled(false);
        disabledForRun_.emplace_back(menuBar_);
    }
}

void QtForm::EndRun() {
    for (const QPointer<QWidget>& widget : disabledForRun_)
        if (widget) widget->setEnabled(true);
    disabledForRun_.clear();
    running_ = false;
    if (focusBeforeRun_ && focusBeforeRun_->isEnabled()) {
        focusBeforeRun_->setFocus();
    } else {
        const std::vector<const ControlDesign*> order = TabOrder(form_.Design());
        if (!order.empty()) Widget(order.front()->name)->setFocus();
    }
    focusBeforeRun_ = nullptr;
}

void QtForm::StopRun() {
    for (const auto& [name, control] : controls_)
        if (auto* bar = qobject_cast<QtProgressBar*>(control)) bar->Model().RequestStop();
}

std::unique_ptr<LoadedForm> QtForm::Load(Form& form) {
    std::unique_ptr<QtForm> window = Create(form);
    window->opener_ = this;
    return window;
}

void QtForm::Close() { close(); }

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
    if (event->type() == QEvent::WindowActivate) form_.Form_Activate();
    return QWidget::event(event);
}

void QtForm::showEvent(QShowEvent* event) {
    // Some platforms (offscreen among them) deliver no activation to a new
    // window, so the form's activation runs on the first showing as well.
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    form_.Form_Activate();
    CentreOnScreen(this);
    const std::vector<const ControlDesign*> order = TabOrder(form_.Design());
    if (!order.empty()) Widget(order.front()->name)->setFocus();
}

void QtForm::closeEvent(QCloseEvent* event) {
    // Closing a window that runs stops the run at its next block; the
    // window closes once the run has unwound.
    if (running_) {
        StopRun();
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    // Another window's run (a modal one over this): that one stops first.
    if (IsBusy()) {
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
        case QEvent::DragMove: {
            // A box takes the files this window takes; other drags (text)
            // stay the box's own affair.
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!qobject_cast<QLineEdit*>(watched) || !DroppedFile(drag->mimeData())) break;
            if (TakesDrop(drag->mimeData()))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!qobject_cast<QLineEdit*>(watched) || !DroppedFile(drop->mimeData())) break;
            if (Dropped(widget, drop->mimeData()))
                drop->acceptProposedAction();
            else
                drop->ignore();
            return true;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

bool QtForm::TakesDrop(const QMimeData* data) const {
    // Not during a run, nor while a modal window is over this one.
    QWidget* modal = QApplication::activeModalWidget();
    return !form_.Design().dropBox.empty() && !running_ && !IsBusy() && (!modal || modal == this) &&
           DroppedFile(data).has_value();
}

bool QtForm::Dropped(QWidget* on, const QMimeData* data) {
    if (!TakesDrop(data)) return false;
    return form_.FileDropped(NameOf(on), *DroppedFile(data));
}

void QtForm::dragEnterEvent(QDragEnterEvent* event) {
    if (TakesDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void QtForm::dragMoveEvent(QDragMoveEvent* event) {
    if (TakesDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void QtForm::dropEvent(QDropEvent* event) {
    if (Dropped(childAt(event->position().toPoint()), event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

}  // namespace vagliante::ui::qt
