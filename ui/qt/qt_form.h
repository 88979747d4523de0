// QtForm: the Qt renderer of a form. It makes Qt widgets from the form's
// description (named as the description names them, so tests find them with
// findChild), implements the form's view over them, and passes the user's
// events to the form's handlers.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"

class QMenuBar;
class QMimeData;

namespace vagliante::ui::qt {

class QtProgressBar;

class QtForm final : public QWidget, public FormView, public LoadedForm {
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
    void RunBusy(const std::function<void()>& work) override;
    std::unique_ptr<LoadedForm> Load(Form& form) override;
    void Close() override;

    // LoadedForm
    void ShowModal() override;

  signals:
    void closed();

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

    // A button or menu command chosen: its handler, then the closing that
    // was asked during its run.
    void Chosen(const std::string& control);

    // While a run is busy the window looks it: its controls but the exit
    // button are disabled, and so is its menu; no control has the focus
    // (a key held down cannot reach the exit button). Afterwards all is as
    // before.
    void BeginRun();
    void EndRun();
    void StopRun();  // asks the run to stop at its next block

    // Whether a drag carries a file this window takes now.
    bool TakesDrop(const QMimeData* data) const;
    bool Dropped(QWidget* on, const QMimeData* data);

    Form& form_;
    QWidget* client_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    std::map<std::string, QWidget*, std::less<>> controls_;
    QWidget* opener_ = nullptr;  // the window that loaded this one
    bool shown_ = false;
    bool running_ = false;
    bool closeAfterRun_ = false;
    QPointer<QWidget> focusBeforeRun_;
    std::vector<QPointer<QWidget>> disabledForRun_;
};

}  // namespace vagliante::ui::qt
