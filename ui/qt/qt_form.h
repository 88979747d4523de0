// QtForm: the Qt renderer of a form. It makes Qt widgets from the form's
// description (named as the description names them, so tests find them with
// findChild), implements the form's view over them, and passes the user's
// events on to the form's run session, which it gives the primitives it
// asks for.
#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "ui/form.h"
#include "ui/run_session.h"

class QDropEvent;
class QMenuBar;
class QMimeData;

namespace vagliante::ui::qt {

class QtForm final : public QWidget,
                     public FormView,
                     public LoadedForm,
                     private RunSession::Primitives {
    Q_OBJECT
  public:
    // Makes the window and its controls for `form`, attaches itself and runs
    // Form_Load. The window is not shown. `form` must outlive it.
    static std::unique_ptr<QtForm> Create(Form& form);
    ~QtForm() override;

    Form& Logic() const { return form_; }

    // A control by its name, or nullptr.
    template <typename W>
    W* Control(const char* name) const {
        return findChild<W*>(QString::fromLatin1(name));
    }
    // The area the controls lie in, below the menu bar if any.
    QWidget* Client() const { return client_; }

    // FormView
    std::string Title() const override;
    void SetTitle(std::string_view title) override;
    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, std::string_view text) override;
    bool Selected(std::string_view option) const override;
    ProgressBar& Bar(std::string_view control) override;
    std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;
    void ShowMessage(const Message& message) override;
    void RunBusy(const std::function<void()>& work) override { session_.Run(work); }
    std::unique_ptr<LoadedForm> Load(Form& form) override;
    void Close() override { close(); }  // closeEvent asks the session

    // LoadedForm
    void ShowModal() override;

  signals:
    void closed();
    void woken();  // from a run's worker, as it ends

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    explicit QtForm(Form& form);
    void Build();
    void BuildMenu(QMenuBar* bar);
    QWidget* Widget(std::string_view control) const;
    // The control `widget` is or lies in; empty for none.
    std::string NameOf(QWidget* widget) const;
    // A drag's answer: whether the window takes the file it carries, for a
    // drop on `on` when it is dropped.
    void AnswerDrag(QDropEvent* event, QWidget* on, bool drop);

    // RunSession::Primitives
    bool ControlEnabled(std::string_view control) const override;
    void EnableControl(std::string_view control, bool enabled) override;
    void EnableMenu(bool enabled) override;
    std::string FocusedControl() const override;
    void FocusControl(std::string_view control) override;
    void ShowBusyCursor(bool busy) override;
    void PumpEventsUntil(const std::atomic<bool>& done) override;
    void WakeUp() override { emit woken(); }
    bool UnderModal() const override;
    void CloseWindow() override { close(); }

    Form& form_;
    RunSession session_{form_, *this, *this};
    QWidget* client_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    std::map<std::string, QWidget*, std::less<>> controls_;
    QWidget* opener_ = nullptr;  // the window that loaded this one
    bool shown_ = false;
};

}  // namespace vagliante::ui::qt
