#include "ui/qt/accessible.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleWidget>
#include <QAction>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include "ui/qt/look.h"

namespace vagliante::ui::qt {
namespace {

constexpr const char* kNameProperty = "vaglianteAccessibleName";
constexpr const char* kDialogProperty = "vaglianteDialog";
constexpr const char* kDescriptionProperty = "vaglianteAccessibleDescription";

// A menu bar entry with a name of its own. Qt's own menu item takes its name
// from the entry's text and cannot be given another, so entries that have
// one are answered by this interface instead, which does as Qt's does
// otherwise: a menu item that the user can press.
class NamedMenuItem final : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    explicit NamedMenuItem(QAction* action) : action_(action) {}

    bool isValid() const override { return action_ && Bar(); }
    QObject* object() const override { return action_; }
    QWindow* window() const override {
        QMenuBar* bar = Bar();
        return bar && bar->window() ? bar->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(Bar());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }

    QString text(QAccessible::Text t) const override {
        if (!action_) return {};
        if (t == QAccessible::Name) return action_->property(kNameProperty).toString();
        if (t == QAccessible::Description)
            return action_->property(kDescriptionProperty).toString();
        if (t == QAccessible::Accelerator) {  // "&?": Alt+?
            const QString caption = action_->text();
            const qsizetype amp = caption.indexOf(QLatin1Char('&'));
            if (amp >= 0 && amp + 1 < caption.size())
                return QStringLiteral("Alt+") + caption.at(amp + 1);
        }
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        QMenuBar* bar = Bar();
        if (!bar) return {};
        return bar->actionGeometry(action_).translated(bar->mapToGlobal(QPoint(0, 0)));
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        QMenuBar* bar = Bar();
        state.invisible = !bar || !bar->isVisible() || !action_->isVisible();
        state.disabled = !action_->isEnabled() || (bar && !bar->isEnabled());
        state.focused = bar && bar->activeAction() == action_;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && action_ && action_->isEnabled()) action_->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    QMenuBar* Bar() const {
        if (!action_) return nullptr;
        for (QObject* object : action_->associatedObjects())
            if (auto* bar = qobject_cast<QMenuBar*>(object)) return bar;
        return nullptr;
    }

    QPointer<QAction> action_;
};

// The interfaces Qt's own would get wrong: a named menu entry, a window.
QAccessibleInterface* Interfaces(const QString&, QObject* object) {
    auto* action = qobject_cast<QAction*>(object);
    if (action && action->property(kNameProperty).isValid()) return new NamedMenuItem(action);
    auto* window = qobject_cast<QWidget*>(object);
    if (window && window->property(kDialogProperty).isValid())
        return new QAccessibleWidget(window, window->property(kDialogProperty).toBool()
                                                 ? QAccessible::Dialog
                                                 : QAccessible::Window);
    return nullptr;
}

void InstallInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(Interfaces);
        return true;
    }();
    (void)installed;
}

}  // namespace

void SetWindowRole(QWidget* window, bool dialog) {
    InstallInterfaces();
    window->setProperty(kDialogProperty, dialog);
}

void SetAccessible(QWidget* widget, const AccessibleDesign& accessible) {
    if (!accessible.name.empty()) widget->setAccessibleName(ToQt(accessible.name));
    if (!accessible.description.empty())
        widget->setAccessibleDescription(ToQt(accessible.description));
}

void SetAccessible(QAction* action, const AccessibleDesign& accessible) {
    if (accessible.name.empty()) return;
    InstallInterfaces();
    action->setProperty(kNameProperty, ToQt(accessible.name));
    action->setProperty(kDescriptionProperty, ToQt(accessible.description));
}

}  // namespace vagliante::ui::qt
