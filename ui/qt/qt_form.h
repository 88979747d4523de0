// QtForm: the Qt renderer of a form. It makes Qt widgets from the form's
// description (named as the description names them, so tests find them with
// findChild), implements the form's view over them, and passes the user's
// events to the form's handlers.
#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "ui/form.h"

class QMenuBar;

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
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    explicit QtForm(Form& form);
    void Build();
    void BuildMenu(QMenuBar* bar);
    QWidget* Widget(std::string_view control) const;

    Form& form_;
    QWidget* client_ = nullptr;
    std::map<std::string, QWidget*, std::less<>> controls_;
    QWidget* opener_ = nullptr;  // the window that loaded this one
    bool shown_ = false;
};

}  // namespace vagliante::ui::qt
